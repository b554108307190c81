// Names that objects keep and are found by, beside texts that getters only show. A tool's name
// goes through its superclass's constructor into a field and comes back through an interface's
// getter, where a loop compares it with a name read from a file; the same getter also feeds
// what a label shows. The tests compile this file and look each string up by its text.
import java.io.BufferedReader;
import java.io.IOException;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.List;
import javax.swing.JLabel;

interface Tool {
    String getName();

    String getDisplayName();
}

abstract class Factory implements Tool {
    private final String name;

    protected Factory(String name) {
        this.name = name;
    }

    public String getName() {
        return name;
    }

    // Without a name for people of its own, a factory shows the one it is found by.
    public String getDisplayName() {
        return getName();
    }
}

class Gate extends Factory {
    Gate(String name) {
        super(name);
    }
}

class AndGate extends Gate {
    AndGate() {
        super("AND Gate");
    }
}

class Clock extends Gate {
    Clock() {
        super("Clock");
    }
}

// A tool that returns its name as a constant.
class Probe implements Tool {
    public String getName() {
        return "Probe Tool";
    }

    public String getDisplayName() {
        return "Probe";
    }
}

class Toolbox {
    final List<Tool> tools = Arrays.asList(new AndGate(), new Clock(), new Probe());

    Tool find(String name) {
        for (Tool t : tools) {
            if (t.getName().equals(name))
                return t;
        }
        return null;
    }

    Tool load(BufferedReader saved) throws IOException {
        return find(saved.readLine());
    }

    void show(JLabel label) {
        for (Tool t : tools)
            label.setText(t.getDisplayName());
    }
}

// A document's title, kept and handed out by a getter that a label, a sort and a check for a
// change read.
class Drawing {
    private final String title;

    Drawing(String title) {
        this.title = title;
    }

    String getTitle() {
        return title;
    }

    static List<Drawing> open(JLabel label) {
        List<Drawing> all = new ArrayList<>();
        all.add(new Drawing("Untitled drawing"));
        all.add(new Drawing("Imported sketch"));
        all.sort((a, b) -> a.getTitle().compareTo(b.getTitle()));
        // Compared with another drawing's title to see a change, not to find a drawing.
        if (!all.get(0).getTitle().equals(all.get(1).getTitle()))
            label.setText(all.get(0).getTitle());
        for (Drawing d : all)
            label.setText(d.getTitle());
        return all;
    }
}

// A caption that may come from the user or a default: the helper hands back whichever it was
// passed, so a comparison of what a caption keeps says nothing of this one default. The label
// compares with its own earlier text, which is the program's literal too.
class Caption {
    private final String text;

    Caption(String text) {
        this.text = text;
    }

    String getText() {
        return text;
    }

    static String orDefault(String given, String fallback) {
        return given != null ? given : fallback;
    }

    static void show(JLabel label, String given) {
        Caption caption = new Caption(orDefault(given, "Nothing selected"));
        if (!caption.getText().equals(label.getText()))
            label.setText(caption.getText());
    }
}

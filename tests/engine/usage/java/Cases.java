// Every kind of consumer and flow the analysis tells apart, one string each. The tests compile
// this file with javac and look each string up by its text.
import java.awt.event.ActionEvent;
import java.io.File;
import java.io.FileInputStream;
import java.net.URL;
import java.nio.charset.Charset;
import java.sql.Connection;
import java.text.DecimalFormat;
import java.text.MessageFormat;
import java.text.SimpleDateFormat;
import java.util.HashMap;
import java.util.Map;
import java.util.Properties;
import java.util.ResourceBundle;
import java.util.concurrent.atomic.AtomicReferenceFieldUpdater;
import java.util.logging.Logger;
import java.util.regex.Pattern;
import javax.swing.JButton;
import javax.swing.JFrame;
import javax.swing.JLabel;
import javax.swing.JMenuItem;
import javax.swing.JOptionPane;

enum Colour {
    RED_CONSTANT,
    GREEN_CONSTANT;
}

class Messages {
    static String get(String key) {
        return ResourceBundle.getBundle("app.Messages").getString(key);
    }

    static JLabel label(String text) {
        return new JLabel(text);
    }
}

class Base {
    void show(String text) {
        System.out.println(text);
    }
}

class Derived extends Base {
    @Override
    void show(String text) {
        new JButton(text);
    }
}

class Finder {
    Object open(String path) throws Exception {
        return new FileInputStream(path);
    }
}

class Holder {
    private final String title;

    Holder(String title) {
        this.title = title;
    }

    void display(JFrame frame) {
        frame.setTitle(title);
    }
}

class Constants {
    static final String GREETING = "Static final greeting";
    static String computed = "Computed static title";
}

class Cases extends JFrame {
    static final Logger LOG = Logger.getLogger("cases.logger");
    volatile String watched;

    void swing() {
        new JLabel("Swing label text");
        JButton b = new JButton("Press me");
        b.setToolTipText("Tooltip for the button");
        b.setActionCommand("press-command");
        b.setName("pressButton");
        setTitle("Inherited window title");
        JOptionPane.showMessageDialog(null, "Dialog message text", "Dialog title", JOptionPane.ERROR_MESSAGE);
    }

    void exceptions(int n) {
        if (n < 0)
            throw new IllegalArgumentException("Negative count given");
    }

    void printing(int n) {
        System.out.println("Printed line text");
        System.out.printf("Printf pattern %d%n", n);
        String s = String.format("Formatted %s value", "argument");
        System.out.println(s);
        System.out.println(MessageFormat.format("Message format {0} here", n));
        System.getProperty(String.format("%s.%s", "prefix", "suffix"));
    }

    void logging() {
        LOG.info("Logged information message");
        LOG.warning("Logged warning message");
    }

    void keys(Map<String, Object> map, ActionEvent e, Properties p) {
        System.getProperty("user.home");
        map.put("mapKey", Integer.valueOf(1));
        p.getProperty("property.key");
        if (e.getActionCommand().equals("Open"))
            return;
        new JMenuItem("Open");
        switch (e.getActionCommand()) {
            case "switch-case-text":
                break;
            case "Other case":
                break;
            default:
                break;
        }
    }

    void names() throws Exception {
        Class.forName("com.example.Plugin");
        getClass().getMethod("methodName");
        getClass().getResource("/images/icon.png");
        new URL("https://example.com/page");
        Charset.forName("ISO-8859-15");
        Runtime.getRuntime().exec("xdg-open");
        new File("settings.xml");
        AtomicReferenceFieldUpdater.newUpdater(Cases.class, String.class, "watched");
    }

    void patterns(String in, Connection c) throws Exception {
        Pattern.compile("[a-z]+ items");
        in.split("\\s*;\\s*");
        in.matches("yes|no");
        new SimpleDateFormat("yyyy-MM-dd HH:mm");
        new DecimalFormat("#,##0.00 EUR");
        c.prepareStatement("SELECT name FROM users WHERE id = ?");
    }

    void builder(int n) {
        StringBuilder sb = new StringBuilder();
        sb.append("Built text part").append(n);
        new JLabel(sb.toString());
    }

    void concat(int n) {
        new JLabel("Concatenated count: " + n);
    }

    void ternary(boolean b) {
        String t = b ? "Ternary yes" : "Ternary no";
        new JLabel(t);
    }

    void locals(long big) {
        double d = big * 2.0;
        String local = "Local after wide values";
        long other = big + 1;
        String copy = local;
        new JLabel(copy + d + other);
    }

    String pick(int n) {
        String s;
        switch (n) {
            case 1:
                s = "Case one";
                break;
            case 2:
                s = "Case two";
                break;
            case 1000:
                s = "Case thousand";
                break;
            default:
                s = "Case other";
        }
        return s;
    }

    void returns() {
        new JLabel(pick(3));
    }

    void handler() {
        String message = "Shown by the handler";
        try {
            exceptions(-1);
        } catch (RuntimeException e) {
            new JLabel(message);
        }
    }

    void loop(String[] items) {
        String label = "Loop label";
        for (String item : items)
            label = label + item;
        new JLabel(label);
    }

    void wrappers() throws Exception {
        Messages.label("Via static wrapper");
        Messages.get("wrapper.key");
        new Derived().show("Via overridden method");
        Base base = new Base();
        base.show("Via base method");
        new Finder().open("data/input.txt");
    }

    void holder() {
        new Holder("Holder stored title");
    }

    void constants() {
        new JLabel(Constants.GREETING);
        new JLabel(Constants.computed);
    }

    void data() {
        new JLabel("12:34");
        String table = "\u0001\u0002\u0003abc";
        table.charAt(2);
    }

    void unknown() {
        System.identityHashCode("Some words nobody reads");
        System.identityHashCode("someIdentifier");
    }

    void unused() {
        String s = "Never used anywhere";
    }

    void combination() {
        new JLabel("Shared text");
        System.getProperty("Shared text");
    }

    void array() {
        String[] options = {"First option", "Second option"};
        JOptionPane.showInputDialog(null, "Choose", "Choice", JOptionPane.QUESTION_MESSAGE, null, options, options[0]);
    }

    void lambda() {
        String captured = "Captured by a lambda";
        Runnable r = () -> new JLabel(captured);
        r.run();
    }
}

class Recursive {
    static String twice(String s, int n) {
        return n == 0 ? s : twice(s, n - 1);
    }

    void use() {
        new JLabel(twice("Recursive text", 3));
    }
}

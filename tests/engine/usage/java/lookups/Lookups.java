// Values of a resource bundle looked up by key: each key's value goes to one kind of consumer,
// directly, through the program's own wrappers, or under a key joined from pieces.
import java.awt.Color;
import java.text.MessageFormat;
import java.util.ResourceBundle;
import javax.swing.JButton;
import javax.swing.JLabel;

public class Lookups {
    static final ResourceBundle bundle = ResourceBundle.getBundle("Messages");

    // A wrapper: its callers' keys are the keys.
    static String tr(String key) {
        return bundle.getString(key);
    }

    // A wrapper of a wrapper, joining a prefix of its own.
    static String dialogText(String key) {
        return tr("dialog." + key);
    }

    // One action's texts under keys joined from its name.
    static JButton actionButton(String action) {
        JButton button = new JButton(bundle.getString(action + ".Name"));
        button.setToolTipText(bundle.getString(action + ".ShortDescription"));
        try {
            Class.forName(bundle.getString(action + ".Handler"));
        } catch (ClassNotFoundException e) {
            throw new IllegalStateException(e);
        }
        return button;
    }

    // A key known by its ending alone: the name comes from where the analysis does not look.
    static void looseAction(Object source) throws Exception {
        Class.forName(bundle.getString(source.toString() + ".text"));
    }

    static void use(String typed, int count) throws Exception {
        new JLabel(bundle.getString("direct.label"));
        Lookups.class.getResource(bundle.getString("direct.icon"));
        Color.decode(bundle.getString("direct.colour"));
        Integer.parseInt(bundle.getString("direct.size"));
        new JLabel(String.format(bundle.getString("direct.count"), count));
        new JLabel(MessageFormat.format(bundle.getString("direct.greeting"), typed));
        if (typed.equals(bundle.getString("direct.compared")))
            System.out.println("same");
        new JLabel(tr("wrapped.label"));
        Class.forName(tr("wrapped.class"));
        new JLabel(dialogText("title"));
        actionButton("open");
        actionButton("save");
        new JLabel(bundle.getString("menu.text"));
        String shown = bundle.getString("same.object");
        if (shown == typed)  // the same object, whatever its text
            new JLabel(shown);
        looseAction(typed);
    }
}

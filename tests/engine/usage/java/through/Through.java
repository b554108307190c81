// Values handed to a method of the program's own that gives them back (a formatting helper, a
// helper of that helper), whose callers put what they get back to different uses; and a unit's
// name quoted into a number pattern.
import java.text.DecimalFormat;
import java.util.ResourceBundle;
import javax.swing.JLabel;

public class Through {
    static final ResourceBundle bundle = ResourceBundle.getBundle("Units");

    // Formats a looked-up pattern with its arguments: every label of the program goes through it.
    static String text(String key, Object... arguments) {
        String pattern = bundle.getString(key);
        if (arguments.length > 0)
            pattern = String.format(pattern, arguments);
        return pattern;
    }

    // Hands on the result of another helper that hands on its argument.
    static String labelText(String key, Object argument) {
        return text(key, new Object[] {argument});
    }

    static String trimmed(String s) {
        return s.trim();
    }

    // What it returns of its own reaches whatever every caller does with the result.
    static String orDefault(String s) {
        if (s.isEmpty())
            return "Default choice";
        return s;
    }

    // Kept by the object and handed out by a getter, as an enum constant's unit name is.
    private final String unitName;
    private final DecimalFormat format;
    private String stored;

    Through() {
        unitName = bundle.getString("unit.cm");
        format = new DecimalFormat("#,##0.# " + unitName.replace(".", "'.'"));
    }

    String getUnitName() {
        return unitName;
    }

    void setStored(String value) {
        stored = value;
    }

    String getStored() {
        return stored;
    }

    void use(String typed) throws Exception {
        // Shown: the unit's name and a literal given as a label's argument.
        new JLabel(text("lengthLabel", getUnitName()));
        new JLabel(text("widthLabel", "Width in feet"));
        new JLabel(labelText("heightLabel", "Height of the wall"));
        new JLabel(trimmed("Trimmed caption "));
        // Read: a file's name and an icon's path made by the same helpers.
        Through.class.getResource(text("iconPath", "toolbar-icon"));
        new java.io.File(labelText("fileName", "backup-copy"));
        Class.forName(trimmed(" org.example.Plugin"));
        // A helper's own text goes wherever any caller's result goes.
        new JLabel(orDefault(typed));
        Class.forName(orDefault("org.example.Other"));
        // Through a field: whatever reads it.
        setStored("Stored value");
        Class.forName(getStored());
        // A unit quoted into a number pattern is printed as it is; a text joined unquoted is
        // part of the pattern.
        String quoted = "sq. ft";
        new JLabel(new DecimalFormat("0.## " + quoted.replace(".", "'.'")).format(2.5));
        String joined = "per cent";
        new JLabel(new DecimalFormat("0.## " + joined).format(2.5));
        new JLabel(format.format(1.5));
    }
}

// A class the program's classes are read after: what the analysis keeps of the class it read
// last is none of Through's.
class Zone {
    static String name(Object o) {
        return String.valueOf(o).trim().toLowerCase();
    }

    static int size(String s) {
        return s.length() + name(s).length() + Integer.parseInt(s.substring(1));
    }
}

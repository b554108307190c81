// Programs that translate themselves: every interface text goes through a call of the program's
// own (or of a library) that looks the English text up in a table of translations and returns
// what it finds, or the text itself when the table has none. The literals are message ids: what
// the call's result is put to decides them. Beside them, methods shaped nearly alike that are no
// translation calls: a cache that only checks its keys, a getter that returns what it finds and
// nothing else.
import gnu.gettext.GettextResource;
import java.text.MessageFormat;
import java.util.HashMap;
import java.util.Map;
import java.util.MissingResourceException;
import java.util.ResourceBundle;
import javax.swing.JButton;
import javax.swing.JLabel;
import javax.swing.JMenuItem;
import org.xnap.commons.i18n.I18n;

public class Translation {
    // JOSM's shape: a Map of translations, the text itself when it has none, and MessageFormat
    // when there are arguments; the lookup in a private helper.
    static final class Tr {
        private static Map<String, String> strings = new HashMap<>();

        private static String gettext(String text, String context) {
            if (strings != null) {
                String found = strings.get(context == null ? text : "_:" + context + "\n" + text);
                if (found != null)
                    return found;
            }
            return text;
        }

        private static String format(String text, Object... objects) {
            if (objects.length == 0 && !text.contains("'"))
                return text;
            return MessageFormat.format(text, objects);
        }

        public static String tr(String text, Object... objects) {
            if (text == null)
                return null;
            return format(gettext(text, null), objects);
        }

        public static String trc(String context, String text) {
            return format(gettext(text, context));
        }
    }

    // A table and its fallback, nothing formatted.
    static final class Plain {
        private static final Map<String, String> table = new HashMap<>();

        static String t(String text) {
            String translated = table.get(text);
            return translated != null ? translated : text;
        }
    }

    // Jmol's shape: a bundle's getString, the key itself when the bundle lacks it.
    static final class Gt {
        private static ResourceBundle bundle;

        static String $(String text) {
            try {
                return bundle.getString(text);
            } catch (MissingResourceException e) {
                return text;
            }
        }
    }

    // No translation call: it only checks its table's keys and hands back what it is given.
    static final class Cache {
        private static final Map<String, String> seen = new HashMap<>();

        static String intern(String text) {
            if (!seen.containsKey(text))
                seen.put(text, text);
            return text;
        }
    }

    // No translation call either: what it finds, with nothing to fall back on.
    static final class Settings {
        private static final Map<String, String> values = new HashMap<>();

        static String value(String key) {
            return values.get(key);
        }
    }

    static final I18n i18n = new I18n();
    static ResourceBundle catalog;

    // The program's own helper around a library's translation call.
    static String l(String text) {
        return i18n.tr(text);
    }

    static void build(int count) {
        new JButton(Tr.tr("Open the map"));
        new JLabel(Tr.tr("Saved {0} files", count));
        new JMenuItem(Tr.trc("menu", "Close the layer"));
        new JLabel(Plain.t("Zoom to selection"));
        new JMenuItem(Gt.$("Show the credits"));
        // A bundle's key handed to a getter that returns its key when the bundle lacks it.
        new JLabel(Gt.$("dialog.preferences.title"));
        new JLabel(Cache.intern("Quarterly report"));
        new JLabel(Settings.value("Window layout"));
        new JButton(i18n.tr("Print the page"));
        new JLabel(i18n.tr("Printed {0} pages", count));
        new JMenuItem(l("Export as image"));
        new JButton(GettextResource.gettext(catalog, "Remove the layer"));
    }
}

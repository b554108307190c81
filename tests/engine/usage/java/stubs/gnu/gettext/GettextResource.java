package gnu.gettext;

import java.util.ResourceBundle;

// GNU gettext's runtime, with the signatures of Debian's libintl.jar.
public abstract class GettextResource extends ResourceBundle {
    public static String gettext(ResourceBundle catalog, String msgid) {
        return msgid;
    }

    public static String ngettext(ResourceBundle catalog, String msgid, String msgidPlural, long n) {
        return msgid;
    }
}

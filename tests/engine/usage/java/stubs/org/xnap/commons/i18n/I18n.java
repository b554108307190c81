package org.xnap.commons.i18n;

// gettext-commons' translator, with the signatures of Debian's gettext-commons.jar.
public class I18n {
    public static final String marktr(String text) {
        return text;
    }

    public final String tr(String text) {
        return text;
    }

    public final String tr(String text, Object[] objects) {
        return text;
    }

    public final String tr(String text, Object o1) {
        return text;
    }

    public final String trc(String context, String text) {
        return text;
    }

    public final String trn(String text, String pluralText, long n) {
        return text;
    }
}

import java.util.TimeZone;
import org.apache.commons.lang3.StringEscapeUtils;
import org.apache.commons.lang3.StringUtils;
import org.apache.commons.lang3.time.DateFormatUtils;
import org.apache.commons.lang3.time.DurationFormatUtils;
import org.apache.commons.lang3.time.FastDateFormat;

// Results of commons-lang3 calls that hold no message: what a translation must leave as it was.
public class Lang3Calls {
    static void show(String what, Object result) {
        System.out.println(what + " = " + result);
    }

    public static void main(String[] args) throws Exception {
        TimeZone.setDefault(TimeZone.getTimeZone("UTC"));
        long duration = 93784005L;  // 1 day 2:03:04.005
        show("DurationFormatUtils.formatDuration", DurationFormatUtils.formatDuration(duration, "d 'days' HH:mm:ss.SSS"));
        show("DurationFormatUtils.formatDurationHMS", DurationFormatUtils.formatDurationHMS(duration));
        show("DurationFormatUtils.formatDurationISO", DurationFormatUtils.formatDurationISO(duration));
        show("DurationFormatUtils.formatPeriod", DurationFormatUtils.formatPeriod(0L, duration, "y-M-d H:m:s"));
        show("DurationFormatUtils.formatPeriodISO", DurationFormatUtils.formatPeriodISO(0L, duration));
        show("StringUtils.abbreviate", StringUtils.abbreviate("abcdefghijklmno", 10));
        show("StringUtils.abbreviate offset", StringUtils.abbreviate("abcdefghijklmno", 5, 10));
        show("StringUtils.abbreviateMiddle", StringUtils.abbreviateMiddle("abcdefghijklmno", "..", 8));
        show("StringUtils.capitalize", StringUtils.capitalize("hello world"));
        show("StringUtils.center", StringUtils.center("ab", 8, '*'));
        show("StringUtils.join", StringUtils.join(new Object[] {1, null, "x"}, ", "));
        show("StringUtils.normalizeSpace", StringUtils.normalizeSpace("  a \t b  "));
        show("StringUtils.stripAccents", StringUtils.stripAccents("\u00e9t\u00e9"));
        show("StringUtils.wrap", StringUtils.wrap("ab", "'"));
        String tricky = "<a href=\"x?y=1&z='2'\">\u00e9 \u4e2d</a>\t100% / ~\n";
        show("StringEscapeUtils.escapeJava", StringEscapeUtils.escapeJava(tricky));
        show("StringEscapeUtils.escapeEcmaScript", StringEscapeUtils.escapeEcmaScript(tricky));
        show("StringEscapeUtils.escapeJson", StringEscapeUtils.escapeJson(tricky));
        show("StringEscapeUtils.escapeHtml4", StringEscapeUtils.escapeHtml4(tricky));
        show("StringEscapeUtils.escapeXml11", StringEscapeUtils.escapeXml11(tricky));
        show("StringEscapeUtils.escapeCsv", StringEscapeUtils.escapeCsv(tricky));
        show("StringEscapeUtils.unescapeHtml4", StringEscapeUtils.unescapeHtml4("&lt;&eacute;&#20013;&amp;&gt;&nbsp;"));
        show("StringEscapeUtils.unescapeJava", StringEscapeUtils.unescapeJava("\\u4e2d\\t\\n"));
        show("DateFormatUtils.format", DateFormatUtils.format(86400000L * 400, "yyyy-MM-dd'T'HH:mm:ss EEE MMM", java.util.Locale.US));
        show("DateFormatUtils.ISO", DateFormatUtils.ISO_8601_EXTENDED_DATETIME_TIME_ZONE_FORMAT.format(0L));
        show("FastDateFormat", FastDateFormat.getInstance("EEE, d MMM yyyy HH:mm:ss Z", java.util.Locale.US).format(0L));
        show("FastDateFormat.toString", FastDateFormat.getInstance("yyyy", java.util.Locale.US));
        show("WordUtils.wrap", org.apache.commons.lang3.text.WordUtils.wrap("The quick brown fox jumps over the lazy dog", 10));
        show("WordUtils.initials", org.apache.commons.lang3.text.WordUtils.initials("Ben John Lee"));
        show("ClassUtils.getShortClassName", org.apache.commons.lang3.ClassUtils.getShortClassName("java.util.Map$Entry"));
        show("ClassUtils.getAbbreviatedName", org.apache.commons.lang3.ClassUtils.getAbbreviatedName("org.apache.commons.lang3.ClassUtils", 18));
        show("ClassUtils.getClass", org.apache.commons.lang3.ClassUtils.getClass("int[]"));
        show("LocaleUtils.toLocale", org.apache.commons.lang3.LocaleUtils.toLocale("zh_CN"));
        show("NumberUtils.createNumber", org.apache.commons.lang3.math.NumberUtils.createNumber("0x1F"));
        show("BooleanUtils.toStringYesNo", org.apache.commons.lang3.BooleanUtils.toStringYesNo(true));
        show("BooleanUtils.toBoolean", org.apache.commons.lang3.BooleanUtils.toBoolean("on"));
        show("ArrayUtils.toString", org.apache.commons.lang3.ArrayUtils.toString(new int[] {1, 2}));
        show("Range", org.apache.commons.lang3.Range.between(1, 5));
        show("Fraction", org.apache.commons.lang3.math.Fraction.getFraction(3, 4).toProperString());
        show("Pair", org.apache.commons.lang3.tuple.Pair.of("a", "b"));
        show("Triple", org.apache.commons.lang3.tuple.Triple.of("a", "b", "c"));
        show("JavaVersion", org.apache.commons.lang3.JavaVersion.JAVA_1_8);
        show("StringUtils.difference", StringUtils.difference("abcde", "abxyz"));
        show("RandomStringUtils seeded length", org.apache.commons.lang3.RandomStringUtils.randomAlphabetic(8).length());
        show("EscapeUtils CSV unescape", StringEscapeUtils.unescapeCsv("\"a,\"\"b\"\"\""));
        show("TypeUtils.toString", org.apache.commons.lang3.reflect.TypeUtils.toString(
                org.apache.commons.lang3.reflect.TypeUtils.genericArrayType(String.class)));
        show("TypeUtils.parameterize", org.apache.commons.lang3.reflect.TypeUtils.parameterize(java.util.Map.class, String.class, Integer.class));
        show("SerializationUtils roundtrip", org.apache.commons.lang3.SerializationUtils.roundtrip("x"));
    }
}

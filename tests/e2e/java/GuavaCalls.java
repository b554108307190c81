import com.google.common.base.CaseFormat;
import com.google.common.base.Joiner;
import com.google.common.base.Splitter;
import com.google.common.escape.Escaper;
import com.google.common.html.HtmlEscapers;
import com.google.common.io.BaseEncoding;
import com.google.common.net.HostAndPort;
import com.google.common.net.InetAddresses;
import com.google.common.net.InternetDomainName;
import com.google.common.net.MediaType;
import com.google.common.net.PercentEscaper;
import com.google.common.net.UrlEscapers;
import com.google.common.primitives.UnsignedLong;
import com.google.common.xml.XmlEscapers;
import java.nio.charset.StandardCharsets;

// Results of guava calls that hold no message: what a translation must leave as it was.
public class GuavaCalls {
    static void show(String what, Object result) {
        System.out.println(what + " = " + result);
    }

    public static void main(String[] args) throws Exception {
        MediaType type = MediaType.parse("text/html; charset=UTF-8; q=0.5");
        show("MediaType.parse", type);
        show("MediaType.charset", type.charset());
        show("MediaType.withoutParameters", type.withoutParameters());
        show("MediaType.JSON_UTF_8", MediaType.JSON_UTF_8);
        show("MediaType.OCTET_STREAM", MediaType.OCTET_STREAM);
        show("MediaType.is", type.is(MediaType.ANY_TEXT_TYPE));
        show("HostAndPort.fromString", HostAndPort.fromString("[::1]:8080"));
        show("HostAndPort.host", HostAndPort.fromString("example.com:80").getHost());
        show("HostAndPort.fromParts", HostAndPort.fromParts("::1", 443));
        show("HostAndPort.withDefaultPort", HostAndPort.fromString("example.org").withDefaultPort(21));
        byte[] bytes = "Hello, guava! \u00e9\u4e2d".getBytes(StandardCharsets.UTF_8);
        show("BaseEncoding.base64", BaseEncoding.base64().encode(bytes));
        show("BaseEncoding.base64Url", BaseEncoding.base64Url().omitPadding().encode(bytes));
        show("BaseEncoding.base32", BaseEncoding.base32().encode(bytes));
        show("BaseEncoding.base32Hex", BaseEncoding.base32Hex().lowerCase().encode(bytes));
        show("BaseEncoding.base16", BaseEncoding.base16().encode(bytes));
        show("BaseEncoding.withSeparator", BaseEncoding.base16().withSeparator(":", 2).encode(bytes));
        show("BaseEncoding.decode", new String(BaseEncoding.base64().decode("SGVsbG8="), StandardCharsets.UTF_8));
        show("BaseEncoding.toString", BaseEncoding.base64().withSeparator("\n", 76));
        for (CaseFormat from : CaseFormat.values())
            for (CaseFormat to : CaseFormat.values())
                show("CaseFormat " + from + " -> " + to, from.to(to, from == CaseFormat.LOWER_HYPHEN ? "hello-big-world"
                        : from == CaseFormat.LOWER_UNDERSCORE ? "hello_big_world"
                        : from == CaseFormat.LOWER_CAMEL ? "helloBigWorld"
                        : from == CaseFormat.UPPER_CAMEL ? "HelloBigWorld" : "HELLO_BIG_WORLD"));
        String tricky = "<a href=\"x?y=1&z='2'\">\u00e9 \u4e2d</a> 100% / ~";
        show("HtmlEscapers", HtmlEscapers.htmlEscaper().escape(tricky));
        show("XmlEscapers.content", XmlEscapers.xmlContentEscaper().escape(tricky));
        show("XmlEscapers.attribute", XmlEscapers.xmlAttributeEscaper().escape(tricky + "\t\n"));
        show("UrlEscapers.formParameter", UrlEscapers.urlFormParameterEscaper().escape(tricky));
        show("UrlEscapers.pathSegment", UrlEscapers.urlPathSegmentEscaper().escape(tricky));
        show("UrlEscapers.fragment", UrlEscapers.urlFragmentEscaper().escape(tricky));
        Escaper percent = new PercentEscaper("-_.*", true);
        show("PercentEscaper", percent.escape(tricky));
        show("InternetDomainName.topPrivateDomain", InternetDomainName.from("www.example.co.uk").topPrivateDomain());
        show("InternetDomainName.publicSuffix", InternetDomainName.from("a.b.github.io").publicSuffix());
        show("InetAddresses.forString", InetAddresses.forString("2001:db8::1"));
        show("InetAddresses.toUriString", InetAddresses.toUriString(InetAddresses.forString("::ffff:1.2.3.4")));
        show("Joiner", Joiner.on(", ").useForNull("null").join(1, null, "x"));
        show("Splitter", Splitter.on(',').trimResults().omitEmptyStrings().split(" a, ,b ,c"));
        show("UnsignedLong", UnsignedLong.MAX_VALUE);
        show("com.google.common.base.Ascii.toUpperCase", com.google.common.base.Ascii.toUpperCase("abc"));
        show("Strings.lenientFormat", com.google.common.base.Strings.lenientFormat("%s and %s", "a"));
        show("Range", com.google.common.collect.Range.closedOpen(1, 5));
        show("ImmutableMap", com.google.common.collect.ImmutableMap.of("k", 1, "j", 2));
        show("Optional.absent", com.google.common.base.Optional.absent());
        show("MoreObjects.toStringHelper", com.google.common.base.MoreObjects.toStringHelper("Thing").add("a", 1).add("b", null));
        show("Stopwatch", com.google.common.base.Stopwatch.createUnstarted());
        show("HashCode", com.google.common.hash.Hashing.sha256().hashString("abc", StandardCharsets.UTF_8));
        show("CharMatcher", com.google.common.base.CharMatcher.javaDigit().retainFrom("a1b2c3"));
        show("CharMatcher.toString", com.google.common.base.CharMatcher.anyOf("abc"));
        show("Cache stats", com.google.common.cache.CacheBuilder.newBuilder().recordStats().build().stats());
        show("ImmutableList", com.google.common.collect.ImmutableList.of(1, 2));
        show("Multiset", com.google.common.collect.ImmutableMultiset.of("a", "a", "b"));
    }
}

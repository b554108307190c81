// MessageFormat and Formatter patterns against Java itself: for a table of patterns, a small
// Java program says which ones Java accepts, and which arguments (with their types) or
// conversions it finds in them; the engine must say the same. Java's own internals are read
// through reflection, so the program runs with the two packages opened to it.

#include "formats/MessageFormat.h"
#include "formats/Printf.h"

#include "JavaOracle.h"
#include "ScratchFolder.h"
#include "Tools.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace {

using namespace cl::formats;

const char* const kOracle = R"java(
import java.lang.reflect.*;
import java.nio.charset.StandardCharsets;
import java.nio.file.*;
import java.text.*;
import java.util.*;

public class FormatOracle {
    static boolean nestedInvalid;

    static String unhex(String h) {
        byte[] b = new byte[h.length() / 2];
        for (int i = 0; i < b.length; i++) b[i] = (byte) Integer.parseInt(h.substring(2 * i, 2 * i + 2), 16);
        return new String(b, StandardCharsets.UTF_8);
    }
    static String type(Format f) {
        if (f == null) return "none";
        if (f instanceof ChoiceFormat) return "choice";
        if (f instanceof NumberFormat) return "number";
        if (f instanceof DateFormat) return "dt";
        return "?";
    }
    static void message(String p, StringBuilder out, boolean nested) throws Exception {
        MessageFormat m = new MessageFormat(p, Locale.ROOT);
        Field numbers = MessageFormat.class.getDeclaredField("argumentNumbers");
        numbers.setAccessible(true);
        Field max = MessageFormat.class.getDeclaredField("maxOffset");
        max.setAccessible(true);
        int[] nums = (int[]) numbers.get(m);
        Format[] formats = m.getFormats();
        for (int i = 0; i <= max.getInt(m); i++) {
            out.append(' ').append(nested ? "n" : "").append(nums[i]).append(':').append(type(formats[i]));
            if (formats[i] instanceof ChoiceFormat) {
                for (Object o : ((ChoiceFormat) formats[i]).getFormats()) {
                    String s = (String) o;
                    if (s.indexOf('{') < 0) continue;
                    try { message(s, out, true); } catch (IllegalArgumentException e) { nestedInvalid = true; }
                }
            }
        }
    }
    static String printf(String p) throws Exception {
        Method parse = Formatter.class.getDeclaredMethod("parse", String.class);
        parse.setAccessible(true);
        Object target = Modifier.isStatic(parse.getModifiers()) ? null : new Formatter();
        List<?> list;
        try {
            list = (List<?>) parse.invoke(target, p);
        } catch (InvocationTargetException e) {
            return "invalid " + e.getCause().getClass().getSimpleName();
        }
        StringBuilder sb = new StringBuilder("valid");
        for (Object fs : list) {
            if (!fs.getClass().getSimpleName().equals("FormatSpecifier")) continue;
            Field index = fs.getClass().getDeclaredField("index");
            Field c = fs.getClass().getDeclaredField("c");
            Field dt = fs.getClass().getDeclaredField("dt");
            index.setAccessible(true);
            c.setAccessible(true);
            dt.setAccessible(true);
            sb.append(' ').append(index.getInt(fs)).append(':').append(dt.getBoolean(fs) ? "t" : "").append(c.getChar(fs));
        }
        try {
            new Formatter().format(p, new Object[100]);
        } catch (MissingFormatArgumentException e) {
            return "invalid MissingFormatArgumentException";
        } catch (IllegalFormatException e) {
            // depends on the arguments' types, not on the pattern alone
        }
        return sb.toString();
    }
    public static void main(String[] args) throws Exception {
        for (String line : Files.readAllLines(Paths.get(args[1]))) {
            String p = unhex(line);
            if (args[0].equals("message")) {
                try {
                    nestedInvalid = false;
                    StringBuilder sb = new StringBuilder("valid");
                    message(p, sb, false);
                    if (nestedInvalid) sb.append(" nestedinvalid");
                    System.out.println(sb);
                } catch (IllegalArgumentException e) {
                    System.out.println("invalid");
                }
            } else {
                System.out.println(printf(p));
            }
        }
    }
}
)java";

const char* TypeName(MessageType type)
{
    switch (type) {
    case MessageType::None: return "none";
    case MessageType::Number: return "number";
    case MessageType::Date:
    case MessageType::Time: return "dt";  // Java makes a SimpleDateFormat of both
    case MessageType::Choice: return "choice";
    }
    return "?";
}

std::string RenderMessage(const std::string& pattern)
{
    const MessagePattern p = ParseMessageFormat(pattern);
    if (!p.valid())
        return "invalid";
    std::string out = "valid";
    for (const MessageArgument& a : p.arguments)
        out += std::string(" ") + (a.nested ? "n" : "") + std::to_string(a.number) + ":" + TypeName(a.type);
    if (p.nestedFault)
        out += " nestedinvalid";
    return out;
}

const char* FaultName(PrintfFault fault)
{
    switch (fault) {
    case PrintfFault::None: return "";
    case PrintfFault::UnknownConversion: return "UnknownFormatConversionException";
    case PrintfFault::DuplicateFlags: return "DuplicateFormatFlagsException";
    case PrintfFault::IllegalFlags: return "IllegalFormatFlagsException";
    case PrintfFault::IllegalPrecision: return "IllegalFormatPrecisionException";
    case PrintfFault::IllegalWidth: return "IllegalFormatWidthException";
    case PrintfFault::MissingWidth: return "MissingFormatWidthException";
    case PrintfFault::FlagMismatch: return "FormatFlagsConversionMismatchException";
    case PrintfFault::IllegalIndex: return "IllegalFormatArgumentIndexException";
    case PrintfFault::NoPreviousArgument: return "MissingFormatArgumentException";
    }
    return "?";
}

std::string RenderPrintf(const std::string& pattern)
{
    const PrintfPattern p = ParsePrintf(pattern);
    if (!p.valid())
        return std::string("invalid ") + FaultName(p.fault);
    std::string out = "valid";
    for (const PrintfConversion& c : p.conversions) {
        out += " " + std::to_string(c.index) + ":";
        out += c.dateTime != 0 ? std::string("t") + c.dateTime : std::string(1, c.conversion);
    }
    return out;
}

const std::vector<std::string> kMessagePatterns = {
    "", "plain", "{0}", "{1} and {0}", "{0}{0}", "'{0}'", "''{0}''", "it''s {0}", "it's {0}", "'{0", "'", "{",
    "}", "{0", "{0}}", "a}b", "'}'", "{0}'", "{ 0}", "{0 }", "{-1}", "{-0}", "{+1}", "{\uff10}", "{\u0663}",
    "{\U0001D7CE}", "{9999}", "{10000}", "{2147483647}", "{2147483648}", "{a}", "{}", "{0,}", "{0,,}", "{0,,#}", "{0, }", "{0,\t}",
    "{0, number}", "{0,NUMBER}", "{0, Number , Integer }", "{0,number,integer}", "{0,number,currency}",
    "{0,number,percent}", "{0,number,#,##0.00}", "{0,number,#,##0.0#;(#)}", "{0,number,0#}", "{0,number,#.#.#}",
    "{0,number,#,##,}", "{0,number,#,}", "{0,number,'abc}", "{0,number,'abc'#}", "{0,number,##0.##E0}",
    "{0,number,E0}", "{0,number,0E}", "{0,number,0E0E0}", "{0,number,%%}", "{0,number,%\u2030}",
    "{0,number,;#}", "{0,number,#;#;#}", "{0,number,abc}", "{0,number,#%#}", "{0,number,\u00a4#,##0.00}",
    "{0,number,#,##0.00 \u00a4\u00a4}", "{0,number,'#'#}", "{0,number,0.0#0}", "{0,number,#0.0}",
    "{0,number,.##}", "{0,number,#.}", "{0,number,.}", "{0,number,#,##0;-#,##0}", "{0,number,#;(#)}",
    "{0,number,0.00E00}", "{0,number,#E0}", "{0,number,0.###E0}", "{0,number,1}", "{0,number,#;}",
    "{0,number,#;a;b}", "{0,number,#0#}", "{0,number,00.#0}", "{0,number,#,##0.0,0}", "{0,number,0.0E0.0}",
    "{0,number,#;0.0E0}", "{0,number,0 0}", "{0,number,#\u2030\u2030}", "{0,date}", "{0,date,short}",
    "{0,time,long}", "{0,date,full}", "{0,date,yyyy-MM-dd}", "{0,time,HH:mm:ss}", "{0,date,'at' HH:mm}",
    "{0,date,bb}", "{0,date,'unterminated}", "{0,date,yyyy''MM}", "{0,date,e}", "{0,time,medium}",
    "{0,tiMe}", "{0,foo}", "{0,date,LLLL}", "{0,date,GyMdkHmsSEDFwWahKzZYuXL}", "{0,date,c}", "{0,date,\u00e9}",
    "{0,choice,0#no files|1#one file|1<{0,number,integer} files}", "{0,choice,0#none|1#{1} and {2}}",
    "{0,choice,0#a|1#b", "{0,choice,#a}", "{0,choice,a#b}", "{0,choice,1#a|0#b}", "{0,choice,0#a|0#b}",
    "{0,choice,0#a|0<b}", "{0,choice,-\u221e#neg|0#zero|\u221e#inf}", "{0,choice,+\u221e#x}",
    "{0,choice,0#a'|'b|1#c}", "{0,choice,}", "{0,choice,abc}", "{0,choice,0#a|1}", "{0,choice,0x1p3#a}",
    "{0,choice,0x1.8p1#a}", "{0,choice,0x1#a}", "{0,choice,1e1#a}", "{0,choice, 1 #a}", "{0,choice,1.5f#a}",
    "{0,choice,1d#a}", "{0,choice,.5#a}", "{0,choice,5.#a}", "{0,choice,.#a}", "{0,choice,1e#a}",
    "{0,choice,Infinity#a}", "{0,choice,-Infinity#a|0#b}", "{0,choice,NaN#a|NaN#b}", "{0,choice,0\u2264a|1#b}",
    "{0,choice,1e400#a}", "{0,choice,1e-400#a|0#b}", "{0,choice,-0.0#a|0.0#b}", "{0,choice,0#a|-0.0<b}",
    "{0,choice,0#{1}|1#{2,number}}", "{0,choice,0#{1|1#x}", "{0,choice,0#a{b}c}", "{0,choice,0#'{'1'}'}",
    "{0,choice,0#x<y}", "{0,choice,{}", "{0,number,{}}", "{0,number,'{'}", "{0,date,'}'}", "{0,number,#}}x",
    "{1,choice,0#{0,choice,0#{2}|1#x}|1#y}", "{0,choice,0#{0,choice,0#{x}}}", "{99}",
    "{0}{1}{2}{3}{4}{5}{6}{7}{8}{9}{10}{11}", "{0,choice,1#{0,date,short} and {1,time}|2#{2,foo}}",
    "中文 {0} 个文件", "{0,choice,0#'}", "'{'{0}'}'", "{0,number,'}", "{0,number,''}", "{0,choice,0#''{1}''}",
};

const std::vector<std::string> kPrintfPatterns = {
    "", "plain", "%s", "%S", "%d %s", "%1$s %2$s", "%2$s %1$s", "%2$s %s %s", "%s %<s", "%<s", "%n", "%%",
    "%n%<s", "%%%<s", "%0$s", "%00$s", "%2147483648$s", "%99$s", "%-s", "%-5s", "%05d", "%-05d",
    "%+ d", "%+d", "% d", "%,d", "%,x", "%#x", "%#d", "%(d", "%(x", "%.2d", "%.2f", "%10.3f", "%,.2f", "%#s",
    "%#b", "%b", "%c", "%.1c", "%-c", "%-3c", "%tY", "%TY", "%1$tY-%1$tm-%1$td", "%tq", "%t", "%t ", "%T",
    "%.2tY", "%-tY", "%-5tY", "%#tY", "%5n", "%-n", "%-%", "%-5%", "%5%", "%.2%", "%0%", "%<%", "%q", "%F",
    "%", "abc%", "%\u00e9", "%1$", "%1$<s", "%--5s", "%00d", "%2147483648d", "%.2147483648f", "%a", "%#a",
    "%,a", "%(a", "%e", "%,e", "%g", "%#g", "%,g", "%h", "%#h", "%H", "%o", "%,o", "%#o", "%(o", "%X", "%E",
    "%G", "%A", "%B", "%C", "%tH:%tM", "%s %2$s %s", "%3$s %s %<s", "%1$s %<s %s", "%08.3f", "%-08.3f",
    "%+(,10.2f", "%ts", "%tQ", "%tz", "%tZ", "%tc", "%tF", "%td %<tB %<tY", "%10$s", "% 5d", "%0,10d",
    "%5.s", "%.s", "%1.2.3f", "%t%", "%-t", "%<<s", "%1$1$s", "%+s", "% s", "%0s", "%,s", "%(s", "%+c",
    "%#c", "%(e", "%+ e", "%- 5d", "%#%", "%+%", "%2$-10s|%1$05d", "%d%%", "100%% done", "%s%n%s",
    "中文 %s 个", "%x%<X%<o", "%T%", "%tk%tl", "%tI%tp",
};

class FormatsAgainstJava : public cltest::ScratchFolder {
protected:
    void SetUp() override
    {
        cltest::ScratchFolder::SetUp();
        CLTEST_REQUIRE_TOOL("javac", CLASSLINGO_JAVAC);
        CLTEST_REQUIRE_TOOL("java", CLASSLINGO_JAVA);
    }

    std::vector<std::string> JavaSays(const std::string& mode, const std::vector<std::string>& patterns)
    {
        std::string lines;
        for (const std::string& p : patterns)
            lines += cltest::Hex(p) + "\n";
        Write(Path("patterns.txt"), lines);
        const auto run = cltest::RunJavaProgram(dir_.string(), "FormatOracle", kOracle,
            mode + " '" + Path("patterns.txt") + "'",
            "--add-opens java.base/java.text=ALL-UNNAMED --add-opens java.base/java.util=ALL-UNNAMED");
        EXPECT_TRUE(run.ok) << run.error;
        std::vector<std::string> said;
        std::istringstream in(run.out);
        for (std::string line; std::getline(in, line);)
            said.push_back(line);
        return said;
    }
};

// Choices in choice texts, each level quoted with its quotes doubled.
std::vector<std::string> NestedChoices()
{
    std::vector<std::string> patterns;
    std::string pattern = "{1} '{'{2,date}'}' {3,choice,0#a|1#{4}}";
    for (int i = 0; i < 4; ++i) {
        std::string quoted;
        for (const char c : pattern)
            quoted += c == '\'' ? std::string("''") : std::string(1, c);
        pattern = "{0,choice,0#'" + quoted + "'|1#{5}}";
        patterns.push_back(pattern);
        // The same with one quote too few somewhere inside.
        patterns.push_back(pattern.substr(0, pattern.size() / 2) + pattern.substr(pattern.size() / 2 + 1));
    }
    return patterns;
}

TEST_F(FormatsAgainstJava, MessageFormatAcceptsAndFindsWhatJavaDoes)
{
    std::vector<std::string> patterns = kMessagePatterns;
    for (const std::string& p : NestedChoices())
        patterns.push_back(p);
    const auto java = JavaSays("message", patterns);
    ASSERT_EQ(java.size(), patterns.size());
    int valid = 0;
    for (std::size_t i = 0; i < patterns.size(); ++i) {
        EXPECT_EQ(RenderMessage(patterns[i]), java[i]) << "pattern: " << patterns[i];
        valid += java[i].rfind("valid", 0) == 0;
    }
    // The table holds both kinds in numbers, or it tests little.
    EXPECT_GT(valid, 40);
    EXPECT_LT(valid, static_cast<int>(patterns.size()) - 30);
}

TEST_F(FormatsAgainstJava, FormatterAcceptsAndFindsWhatJavaDoes)
{
    const auto java = JavaSays("printf", kPrintfPatterns);
    ASSERT_EQ(java.size(), kPrintfPatterns.size());
    int valid = 0;
    for (std::size_t i = 0; i < kPrintfPatterns.size(); ++i) {
        EXPECT_EQ(RenderPrintf(kPrintfPatterns[i]), java[i]) << "pattern: " << kPrintfPatterns[i];
        valid += java[i].rfind("valid", 0) == 0;
    }
    EXPECT_GT(valid, 40);
    EXPECT_LT(valid, static_cast<int>(kPrintfPatterns.size()) - 30);
}

}  // namespace

import java.io.File;
import java.io.FileInputStream;
import java.io.InputStream;
import java.io.PrintWriter;
import java.lang.reflect.InvocationTargetException;
import java.lang.reflect.Method;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Paths;
import java.util.List;
import java.util.Map;

import org.openstreetmap.josm.tools.I18n;

// Language files read by JOSM's own I18n class (josm.jar on the class path), as JOSM reads them,
// and what JOSM then holds and shows. Every text goes in and out as the hex of its UTF-8 bytes.
//
//   java JosmLangOracle core <code> <pairs> [<queries>]
//     I18n.set(code) as JOSM's start does (the plural rule of the language; Debian's build reads
//     the installed files for it), then, for each line "<English file> TAB <language file>" of
//     <pairs>, the reader set() itself calls, I18n.load(InputStream, InputStream, false): that
//     one's path is fixed to the installed files in Debian's build. Prints "PAIR <n>", then
//     "LOADED true" with the tables ("S <key> <text>", "P <key> <form>..."), "LOADED false", or
//     "THROWN <exception>".
//   java JosmLangOracle plugin <code> <jar> <queries>
//     I18n.set(code), then I18n.addTexts(jar): a plugin's data/en.lang and data/<code>.lang,
//     added to what JOSM has, as JOSM loads a plugin.
//   <queries>: lines "tr <text>", "trc <context> <text>", "trn <singular> <plural> <n>"; each
//   prints "= <what JOSM shows>".
public class JosmLangOracle {
    static String hex(String s) {
        StringBuilder b = new StringBuilder();
        for (byte x : s.getBytes(StandardCharsets.UTF_8))
            b.append(String.format("%02x", x & 0xFF));
        return b.toString();
    }

    static String unhex(String h) {
        byte[] bytes = new byte[h.length() / 2];
        for (int i = 0; i < bytes.length; i++)
            bytes[i] = (byte) Integer.parseInt(h.substring(2 * i, 2 * i + 2), 16);
        return new String(bytes, StandardCharsets.UTF_8);
    }

    static void printTables(PrintWriter out) {
        for (Map.Entry<String, String> e : I18n.getSingularTranslations().entrySet())
            out.println("S " + hex(e.getKey()) + " " + hex(e.getValue()));
        Map<String, String[]> plural = I18n.getPluralTranslations();
        if (plural == null)
            return;
        for (Map.Entry<String, String[]> e : plural.entrySet()) {
            StringBuilder b = new StringBuilder("P " + hex(e.getKey()));
            for (String form : e.getValue())
                b.append(' ').append(hex(form));
            out.println(b);
        }
    }

    static void ask(String queries, PrintWriter out) throws Exception {
        for (String line : Files.readAllLines(Paths.get(queries), StandardCharsets.UTF_8)) {
            if (line.isEmpty())
                continue;
            String[] w = line.split(" ", -1);
            String shown;
            switch (w[0]) {
                case "tr": shown = I18n.tr(unhex(w[1])); break;
                case "trc": shown = I18n.trc(unhex(w[1]), unhex(w[2])); break;
                case "trn": shown = I18n.trn(unhex(w[1]), unhex(w[2]), Long.parseLong(w[3])); break;
                default: throw new IllegalArgumentException(line);
            }
            out.println("= " + hex(shown));
        }
    }

    public static void main(String[] args) throws Exception {
        PrintWriter out = new PrintWriter(System.out);
        I18n.set(args[1]);
        if (args[0].equals("plugin")) {
            I18n.addTexts(new File(args[2]));
            ask(args[3], out);
            out.flush();
            return;
        }
        Method load = I18n.class.getDeclaredMethod("load", InputStream.class, InputStream.class, boolean.class);
        load.setAccessible(true);
        List<String> pairs = Files.readAllLines(Paths.get(args[2]), StandardCharsets.UTF_8);
        for (int i = 0; i < pairs.size(); i++) {
            String[] files = pairs.get(i).split("\t");
            out.println("PAIR " + i);
            try (InputStream en = new FileInputStream(files[0]); InputStream tr = new FileInputStream(files[1])) {
                boolean loaded = (Boolean) load.invoke(null, en, tr, false);
                out.println("LOADED " + loaded);
                if (loaded)
                    printTables(out);
            } catch (InvocationTargetException e) {
                out.println("THROWN " + e.getCause().getClass().getSimpleName());
            }
        }
        if (args.length > 3)
            ask(args[3], out);
        out.flush();
    }
}

// Seed for fuzz_classfile: a string switch, a switch expression in a lambda, an annotation
// with nested values, generics with local variables, a nested class and an enum switch.
import java.lang.annotation.Retention;
import java.lang.annotation.RetentionPolicy;
import java.util.List;
import java.util.Map;
import java.util.function.Function;

@Retention(RetentionPolicy.RUNTIME)
@interface Help {
    String value();
    String[] aliases() default {"?", "h"};
    Class<?> owner() default Object.class;
    Thread.State state() default Thread.State.NEW;
    long limit() default 1L << 40;
}

public class Commands<T extends Comparable<T>> {
    static final String TITLE = "Commands";
    private final Map<String, List<T>> byName = new java.util.HashMap<>();

    @Help(value = "Open a file", aliases = {"o"})
    public static int run(String command) {
        switch (command) {
            case "open": return 1;
            case "save": return 2;
            case "Aa": case "BB": return 3;
            default: System.out.println("Unknown command: " + command); return 0;
        }
    }

    static Function<String, Integer> arrows = s -> switch (s) {
        case "left" -> 1;
        case "right" -> 2;
        default -> s.length();
    };

    int kind(Thread.State state, char c, long big) {
        int n = switch (c) { case 'a' -> 1; case 'b' -> 2; case 'c' -> 3; default -> 0; };
        for (int i = 0; i < 300; ++i)
            n += i * (int) big;
        return switch (state) { case NEW -> n; case RUNNABLE -> 2; default -> -1; };
    }

    class Entry { T value; String label = "entry"; }

    public synchronized T first(String name) throws java.io.IOException {
        for (T item : byName.getOrDefault(name, List.of()))
            return item;
        throw new java.io.IOException("No such entry");
    }
}

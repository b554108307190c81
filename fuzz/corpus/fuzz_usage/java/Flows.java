// Seeds for fuzz_usage: the flows the analysis follows, in small methods.
import java.util.ArrayList;
import java.util.List;

class Flows {
    private String title = "Field title";
    static final String CONSTANT = "Constant text";

    String pick(int n) {
        switch (n) {
            case 1: return "One";
            case 20: return "Twenty";
            default: return n > 5 ? "Many" : "Few";
        }
    }

    void build(String name, long size) {
        StringBuilder sb = new StringBuilder("Name: ").append(name);
        double ratio = size / 2.0;
        System.out.println(sb.toString() + ratio + " " + title);
        List<String> items = new ArrayList<>();
        items.add("Item");
        String[] array = {"First", "Second"};
        System.out.println(items.get(0) + array[1]);
    }

    void compare(String command) {
        switch (command) {
            case "open": System.out.println(String.format("Opening %s", command)); break;
            case "close": throw new IllegalStateException("Closing " + command);
            default: break;
        }
        try {
            Class.forName("com.example.Missing");
        } catch (ClassNotFoundException e) {
            Runnable r = () -> System.err.println("Missing: " + e);
            r.run();
        } finally {
            title = System.getProperty("user.name", "nobody");
        }
    }
}

// Seed for fuzz_scan_replace: an enum and an interface give other constant-pool layouts
// (StackMapTable, descriptors, java/ names) around the strings.
import java.util.ArrayList;
import java.util.List;

public enum Menu implements Runnable {
    OPEN("Open"), SAVE("Save"), EXPORT("Export text"), QUIT("退出");

    private final String label;

    Menu(String label) {
        this.label = label;
    }

    @Override
    public void run() {
        List<String> lines = new ArrayList<>();
        lines.add("[" + label + "]");
        if (lines.size() > 1) {
            throw new IllegalStateException("B/s rate " + lines);
        }
        System.out.println(String.join(";", lines));
    }
}

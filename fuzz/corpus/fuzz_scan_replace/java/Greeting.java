// Seed for fuzz_scan_replace: plain, suspicious-looking and Chinese strings, a string
// with a zero character (stored as C0 80), one outside the BMP and one over 255 bytes.
public class Greeting {
    static final String HELLO = "Hello, world";
    static final String SAVE = "Save file";
    static final String CHINESE = "打开文件失败";
    static final String ZERO = "a\0b";
    static final String SMILE = "smile \uD83D\uDE00";
    static final String LONG = "0123456789".repeat(1) + "abcdefghijklmnopqrstuvwxyzabcdefghijklmnopqrstuvwxyzabcdefghijklmnopqrstuvwxyzabcdefghijklmnopqrstuvwxyzabcdefghijklmnopqrstuvwxyzabcdefghijklmnopqrstuvwxyzabcdefghijklmnopqrstuvwxyzabcdefghijklmnopqrstuvwxyzabcdefghijklmnopqrstuvwxyzabcdefghijklmnopqrstuvwxyz";

    private final String name;

    Greeting(String name) {
        this.name = name;
    }

    String greet(int times) {
        StringBuilder out = new StringBuilder();
        for (int i = 0; i < times; i++) {
            out.append(HELLO).append(", ").append(name).append('\n');
        }
        return out.toString();
    }

    public static void main(String[] args) {
        System.out.println(new Greeting("用户").greet(2) + CHINESE + ZERO + SMILE + LONG + SAVE);
    }
}

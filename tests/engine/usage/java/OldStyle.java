// Compiled for Java 8: string concatenation becomes a StringBuilder chain.
import javax.swing.JLabel;

class OldStyle {
    void concat(int n) {
        new JLabel("Old style count: " + n);
    }

    void equality(String s) {
        if (s == "Compared by identity")
            new JLabel("Compared by identity");
    }
}

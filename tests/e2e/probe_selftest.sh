#!/bin/bash
# The Swing probe on a program whose texts are known: a frame with a nested menu, a label, a
# button, a tab, a read-only text area and a text field, a hidden label, a closed menu's items. The probe must list exactly the texts
# a person can see or reach through the menus, record an exception thrown on the event thread
# and one on a thread whose default handler the program replaced with one that swallows it, close
# the frame as a user would (the program's closing handler runs) and end the program.
# Usage: probe_selftest.sh JAVAC JAVA XVFB_RUN
set -euo pipefail

javac=$1 java=$2 xvfb_run=$3
here=$(dirname "$(realpath "$0")")
source "$here/scratch.sh"

bash "$here/probe/build_probe.sh" "$javac" probe.jar
mkdir -p src classes
cat > src/Demo.java <<'JAVA'
import java.awt.event.WindowAdapter;
import java.awt.event.WindowEvent;
import java.nio.file.Files;
import java.nio.file.Paths;
import javax.swing.*;

public class Demo {
    public static void main(String[] args) throws Exception {
        SwingUtilities.invokeAndWait(() -> {
            JFrame frame = new JFrame("Probe Demo");
            JMenuBar bar = new JMenuBar();
            JMenu file = new JMenu("File");
            JMenu recent = new JMenu("Recent");
            JMenuItem last = new JMenuItem("Last one");
            last.setToolTipText("Opens the\tlast file");
            recent.add(last);
            file.add(recent);
            bar.add(file);
            frame.setJMenuBar(bar);
            JPanel panel = new JPanel();
            panel.add(new JLabel("Hello label"));
            panel.add(new JButton("Press me"));
            JTextArea message = new JTextArea("A message\nin two lines");
            message.setEditable(false);
            panel.add(message);
            panel.add(new JTextField("typed by the user"));
            JLabel hidden = new JLabel("Never shown");
            hidden.setVisible(false);
            panel.add(hidden);
            JTabbedPane tabs = new JTabbedPane();
            tabs.addTab("First tab", panel);
            frame.add(tabs);
            frame.setDefaultCloseOperation(WindowConstants.DISPOSE_ON_CLOSE);
            frame.addWindowListener(new WindowAdapter() {
                @Override
                public void windowClosing(WindowEvent e) {
                    try {
                        Files.write(Paths.get(System.getProperty("demo.closed")), "closed\n".getBytes());
                    } catch (Exception ex) {
                        throw new RuntimeException(ex);
                    }
                }
            });
            frame.setSize(400, 300);
            frame.setVisible(true);
        });
        // A program's own handler that hides what goes wrong, as many that log do.
        Thread.setDefaultUncaughtExceptionHandler((thread, error) -> { });
        Timer timer = new Timer(1000, e -> { throw new IllegalStateException("thrown on the event thread"); });
        timer.setRepeats(false);
        timer.start();
        Thread.sleep(1500);
        Thread worker = new Thread(() -> { throw new UnsupportedOperationException("thrown on a worker"); });
        worker.start();
        worker.join();
        // Keeps the JVM alive after the frame is gone: the probe must end it.
        Thread keeper = new Thread(() -> { while (true) { try { Thread.sleep(1000); } catch (InterruptedException e) { return; } } });
        keeper.start();
    }
}
JAVA
"$javac" -d classes src/Demo.java

start=$(date +%s)
timeout 120 "$xvfb_run" -a "$java" -javaagent:probe.jar -Dprobe.texts=texts.txt -Dprobe.exceptions=exceptions.txt \
    -Dprobe.quiet=2 -Dprobe.closeWait=3 -Ddemo.closed=closed.txt -cp classes Demo >run.log 2>&1 \
    || fail "the program did not end by itself (status $?):"$'\n'"$(cat run.log)"
elapsed=$(( $(date +%s) - start ))

expected=$'A message\\nin two lines\nFile\nFirst tab\nHello label\nLast one\nOpens the\\tlast file\nPress me\nProbe Demo\nRecent'
[ -f texts.txt ] || fail "no texts written:"$'\n'"$(cat run.log)"
[ "$(grep '^PROBE' texts.txt)" = $'PROBE\twindow\tjavax.swing.JFrame' ] || fail "windows not listed:"$'\n'"$(cat texts.txt)"
actual=$(grep -v '^PROBE' texts.txt | LC_ALL=C sort -u)
[ "$actual" = "$expected" ] || fail "texts differ; expected:"$'\n'"$expected"$'\n'"got:"$'\n'"$actual"
grep -q $'^EXCEPTION\tevent thread\tjava.lang.IllegalStateException: thrown on the event thread$' exceptions.txt \
    || fail "the event thread's exception is not recorded:"$'\n'"$(cat exceptions.txt)"
grep -q $'^EXCEPTION\tuncaught in Thread-[0-9]*\tjava.lang.UnsupportedOperationException: thrown on a worker$' exceptions.txt \
    || fail "the swallowed exception is not recorded:"$'\n'"$(cat exceptions.txt)"
grep -q $'^\tat Demo.lambda' exceptions.txt || fail "no frames recorded:"$'\n'"$(cat exceptions.txt)"
[ "$(grep -c '^EXCEPTION' exceptions.txt)" -eq 2 ] || fail "other exceptions recorded:"$'\n'"$(cat exceptions.txt)"
[ "$(cat closed.txt 2>/dev/null)" = closed ] || fail "the frame was not closed as a user closes it"
echo "probe listed $(grep -vc "^PROBE" texts.txt) texts, 2 exceptions, in ${elapsed}s"

// A -javaagent that reads what a Swing program shows, so that a script can tell how much of a
// translated program appears in its translation without looking at pixels.
//
// After the program's first real window is showing and its event queue has been quiet for a
// while (both waits bounded), it walks every showing window on the event thread: titles, the
// text and tooltip of every component, tab titles, titled borders, the menu bar and its menus
// at any depth (without opening them), table headers, tree rows and list items. One text per
// line, escaped, goes to the file named by -Dprobe.texts. Uncaught exceptions, on any thread
// and on the event thread, go to -Dprobe.exceptions as they happen. Then it closes the windows
// as a user would (so that the program saves its settings the way it does on leaving), and
// ends the JVM if the program does not end by itself.
//
// Options (system properties): probe.texts, probe.exceptions (files); probe.startWait (seconds
// for a first window, 90), probe.quiet (seconds of a quiet queue, 4), probe.settle (longest
// wait for quiet, 30), probe.closeWait (seconds the program gets to end after its windows
// closed, 10).

import java.awt.AWTEvent;
import java.awt.Component;
import java.awt.Container;
import java.awt.Dialog;
import java.awt.EventQueue;
import java.awt.Frame;
import java.awt.Toolkit;
import java.awt.Window;
import java.awt.event.WindowEvent;
import java.io.FileOutputStream;
import java.io.IOException;
import java.io.OutputStreamWriter;
import java.io.PrintWriter;
import java.io.Writer;
import java.lang.instrument.Instrumentation;
import java.nio.charset.StandardCharsets;
import java.util.ArrayList;
import java.util.IdentityHashMap;
import java.util.List;
import java.util.Map;
import java.util.concurrent.atomic.AtomicLong;
import javax.swing.AbstractButton;
import javax.swing.JComponent;
import javax.swing.JFrame;
import javax.swing.JLabel;
import javax.swing.JList;
import javax.swing.JMenu;
import javax.swing.JMenuBar;
import javax.swing.JRootPane;
import javax.swing.JTabbedPane;
import javax.swing.JTable;
import javax.swing.JTree;
import javax.swing.ListModel;
import javax.swing.SwingUtilities;
import javax.swing.border.Border;
import javax.swing.border.CompoundBorder;
import javax.swing.border.TitledBorder;
import javax.swing.table.JTableHeader;
import javax.swing.table.TableColumnModel;
import javax.swing.text.JTextComponent;
import javax.swing.tree.TreePath;

public final class SwingProbe {
    private static final Object exceptionLock = new Object();
    private static PrintWriter exceptionOut;
    private static final Map<Throwable, Boolean> recorded = java.util.Collections.synchronizedMap(new java.util.WeakHashMap<>());
    private static final AtomicLong lastDispatch = new AtomicLong(System.nanoTime());
    private static volatile Thread.UncaughtExceptionHandler ours;

    private SwingProbe() {}

    public static void premain(String args, Instrumentation instrumentation) {
        String exceptions = System.getProperty("probe.exceptions");
        if (exceptions != null) {
            try {
                exceptionOut = new PrintWriter(new OutputStreamWriter(new FileOutputStream(exceptions), StandardCharsets.UTF_8), true);
            } catch (IOException e) {
                System.err.println("probe: cannot write " + exceptions + ": " + e);
            }
        }
        grantProbe();
        ours = (thread, error) -> record("uncaught in " + thread.getName(), error, null);
        Thread.setDefaultUncaughtExceptionHandler(ours);
        Thread watcher = new Thread(SwingProbe::watch, "swing-probe");
        watcher.setDaemon(true);
        watcher.start();
    }

    // A program that installs a security manager (Freeplane does, with a policy of its own)
    // would forbid the probe its files and its exit. The policy is read when the first check
    // happens, so one more policy file named now grants the probe's own jar everything.
    private static void grantProbe() {
        try {
            java.net.URL jar = SwingProbe.class.getProtectionDomain().getCodeSource().getLocation();
            java.nio.file.Path policy = java.nio.file.Files.createTempFile("swing-probe", ".policy");
            policy.toFile().deleteOnExit();
            String grant = "grant codeBase \"" + jar + "\" {\n  permission java.security.AllPermission;\n};\n";
            java.nio.file.Files.write(policy, grant.getBytes(StandardCharsets.UTF_8));
            int n = 1;
            while (java.security.Security.getProperty("policy.url." + n) != null)
                n++;
            java.security.Security.setProperty("policy.url." + n, policy.toUri().toString());
        } catch (IOException | RuntimeException e) {
            System.err.println("probe: no policy of its own: " + e);
        }
    }

    // One exception: a line "EXCEPTION<TAB>where<TAB>class: message", then its frames (the
    // causes' too), each "<TAB>at frame".
    static void record(String where, Throwable error, Thread.UncaughtExceptionHandler then) {
        synchronized (exceptionLock) {
            // The event thread's exception reaches the queue's hook, then the handler.
            if (recorded.put(error, Boolean.TRUE) == null && exceptionOut != null) {
                exceptionOut.println("EXCEPTION\t" + where + "\t" + escape(String.valueOf(error)));
                for (Throwable t = error; t != null; t = t.getCause()) {
                    if (t != error)
                        exceptionOut.println("CAUSE\t" + escape(String.valueOf(t)));
                    StackTraceElement[] frames = t.getStackTrace();
                    for (int i = 0; i < Math.min(frames.length, 12); i++)
                        exceptionOut.println("\tat " + frames[i]);
                    if (t.getCause() == t)
                        break;
                }
                exceptionOut.flush();
            }
        }
        if (then != null)
            then.uncaughtException(Thread.currentThread(), error);
        else
            error.printStackTrace();
    }

    // A program that sets its own handler (many log and swallow) still has its exceptions
    // recorded: the probe keeps wrapping whatever handler is the default.
    private static void keepHandler() {
        Thread.UncaughtExceptionHandler current = Thread.getDefaultUncaughtExceptionHandler();
        if (current == ours)
            return;
        final Thread.UncaughtExceptionHandler theirs = current;
        ours = (thread, error) -> record("uncaught in " + thread.getName(), error, theirs);
        Thread.setDefaultUncaughtExceptionHandler(ours);
    }

    // The event thread's exceptions, also those a program's own handler would hide, and the
    // moment of each dispatch (to tell when the program has settled).
    static final class WatchedQueue extends EventQueue {
        @Override
        protected void dispatchEvent(AWTEvent event) {
            lastDispatch.set(System.nanoTime());
            try {
                super.dispatchEvent(event);
            } catch (RuntimeException | Error e) {
                record("event thread", e, null);
                throw e;
            } finally {
                lastDispatch.set(System.nanoTime());
            }
        }
    }

    private static long seconds(String name, long otherwise) {
        try {
            return Long.parseLong(System.getProperty(name, Long.toString(otherwise)));
        } catch (NumberFormatException e) {
            return otherwise;
        }
    }

    private static void sleep(long millis) {
        try {
            Thread.sleep(millis);
        } catch (InterruptedException e) {
            Thread.currentThread().interrupt();
        }
    }

    // A window the program means as its own: a frame or dialog with a title or a menu bar, or
    // any window with a few components (a splash screen is a bare window with a picture).
    private static boolean isReal(Window w) {
        if (!w.isShowing() || w.getWidth() < 50 || w.getHeight() < 50)
            return false;
        if (w instanceof JFrame && ((JFrame) w).getJMenuBar() != null)
            return true;
        if (w instanceof Frame && !isBlank(((Frame) w).getTitle()))
            return true;
        if (w instanceof Dialog && !isBlank(((Dialog) w).getTitle()))
            return true;
        return countTexts(w) >= 3;
    }

    private static boolean isBlank(String s) {
        return s == null || s.trim().isEmpty();
    }

    private static int countTexts(Window w) {
        List<String> texts = new ArrayList<>();
        walk(w, texts, new IdentityHashMap<>());
        return texts.size();
    }

    private static void watch() {
        long startWait = seconds("probe.startWait", 90);
        long quiet = seconds("probe.quiet", 4);
        long settle = seconds("probe.settle", 30);
        long closeWait = seconds("probe.closeWait", 10);
        long deadline = System.nanoTime() + startWait * 1_000_000_000L;
        boolean shown = false;
        while (!shown && System.nanoTime() < deadline) {
            keepHandler();
            sleep(250);
            for (Window w : Window.getWindows()) {
                if (w.isShowing()) {
                    try {
                        shown |= onEventThread(() -> isReal(w));
                    } catch (RuntimeException e) {
                        // A window that cannot be read yet is looked at again on the next round.
                    }
                }
            }
        }
        if (shown) {
            Toolkit.getDefaultToolkit().getSystemEventQueue().push(new WatchedQueue());
            long settleEnd = System.nanoTime() + settle * 1_000_000_000L;
            lastDispatch.set(System.nanoTime());
            while (System.nanoTime() < settleEnd) {
                keepHandler();
                sleep(200);
                if (System.nanoTime() - lastDispatch.get() >= quiet * 1_000_000_000L
                    && Toolkit.getDefaultToolkit().getSystemEventQueue().peekEvent() == null)
                    break;
            }
        }
        keepHandler();
        List<String> texts = new ArrayList<>();
        if (!shown)
            texts.add("PROBE\tno window");
        try {
            texts.addAll(onEventThread(SwingProbe::readAll));
        } catch (RuntimeException e) {
            record("probe", e, null);
        }
        writeTexts(texts);
        closeAll();
        sleep(closeWait * 1000);
        // The program did not end by itself (a question on leaving, a thread it keeps).
        Thread exit = new Thread(() -> System.exit(0), "swing-probe-exit");
        exit.setDaemon(true);
        exit.start();
        sleep(5000);
        Runtime.getRuntime().halt(0);
    }

    private interface Task<T> {
        T run();
    }

    private static <T> T onEventThread(Task<T> task) {
        if (SwingUtilities.isEventDispatchThread())
            return task.run();
        Object[] result = new Object[1];
        RuntimeException[] failure = new RuntimeException[1];
        try {
            SwingUtilities.invokeAndWait(() -> {
                try {
                    result[0] = task.run();
                } catch (RuntimeException e) {
                    failure[0] = e;
                }
            });
        } catch (Exception e) {
            throw new IllegalStateException(e);
        }
        if (failure[0] != null)
            throw failure[0];
        @SuppressWarnings("unchecked")
        T value = (T) result[0];
        return value;
    }

    private static List<String> readAll() {
        List<String> texts = new ArrayList<>();
        Map<Object, Boolean> seen = new IdentityHashMap<>();
        for (Window w : Window.getWindows()) {
            if (!w.isShowing())
                continue;
            // Which windows show, by class: a translated program that shows an error dialog
            // instead of its main window is told apart from one that started.
            texts.add("PROBE\twindow\t" + w.getClass().getName());
            if (w instanceof Frame)
                add(texts, ((Frame) w).getTitle());
            else if (w instanceof Dialog)
                add(texts, ((Dialog) w).getTitle());
            walk(w, texts, seen);
        }
        return texts;
    }

    private static void add(List<String> texts, String text) {
        if (text != null && !text.trim().isEmpty())
            texts.add(text);
    }

    private static void walk(Component c, List<String> texts, Map<Object, Boolean> seen) {
        if (c == null || seen.put(c, Boolean.TRUE) != null)
            return;
        // Visible, not showing: the items of a closed menu are read too.
        if (!c.isVisible())
            return;
        if (c instanceof JLabel)
            add(texts, ((JLabel) c).getText());
        if (c instanceof AbstractButton)
            add(texts, ((AbstractButton) c).getText());
        // Read-only text areas hold messages (an error dialog's, an about box's); what a user
        // can edit is the user's, not the program's.
        if (c instanceof JTextComponent && !((JTextComponent) c).isEditable())
            add(texts, ((JTextComponent) c).getText());
        if (c instanceof JComponent) {
            JComponent j = (JComponent) c;
            add(texts, j.getToolTipText());
            border(j.getBorder(), texts);
        }
        if (c instanceof JTabbedPane) {
            JTabbedPane tabs = (JTabbedPane) c;
            for (int i = 0; i < tabs.getTabCount(); i++) {
                add(texts, tabs.getTitleAt(i));
                add(texts, tabs.getToolTipTextAt(i));
            }
        }
        if (c instanceof JRootPane) {
            JMenuBar bar = ((JRootPane) c).getJMenuBar();
            if (bar != null)
                walk(bar, texts, seen);
        }
        if (c instanceof JMenu) {
            for (Component item : ((JMenu) c).getMenuComponents())
                walk(item, texts, seen);
        }
        if (c instanceof JTableHeader) {
            TableColumnModel columns = ((JTableHeader) c).getColumnModel();
            for (int i = 0; i < columns.getColumnCount(); i++) {
                Object value = columns.getColumn(i).getHeaderValue();
                if (value != null)
                    add(texts, value.toString());
            }
        }
        if (c instanceof JTable && ((JTable) c).getTableHeader() != null)
            walk(((JTable) c).getTableHeader(), texts, seen);
        if (c instanceof JTree) {
            JTree tree = (JTree) c;
            for (int i = 0; i < Math.min(tree.getRowCount(), 200); i++) {
                TreePath path = tree.getPathForRow(i);
                if (path != null)
                    add(texts, tree.convertValueToText(path.getLastPathComponent(), false, false, false, i, false));
            }
        }
        if (c instanceof JList) {
            ListModel<?> model = ((JList<?>) c).getModel();
            for (int i = 0; i < Math.min(model.getSize(), 200); i++) {
                Object value = model.getElementAt(i);
                if (value instanceof String)
                    add(texts, (String) value);
            }
        }
        if (c instanceof Container) {
            for (Component child : ((Container) c).getComponents())
                walk(child, texts, seen);
        }
    }

    private static void border(Border b, List<String> texts) {
        if (b instanceof TitledBorder)
            add(texts, ((TitledBorder) b).getTitle());
        else if (b instanceof CompoundBorder) {
            border(((CompoundBorder) b).getOutsideBorder(), texts);
            border(((CompoundBorder) b).getInsideBorder(), texts);
        }
    }

    static String escape(String s) {
        StringBuilder out = new StringBuilder(s.length());
        for (int i = 0; i < s.length(); i++) {
            char ch = s.charAt(i);
            switch (ch) {
                case '\\': out.append("\\\\"); break;
                case '\n': out.append("\\n"); break;
                case '\r': out.append("\\r"); break;
                case '\t': out.append("\\t"); break;
                default: out.append(ch);
            }
        }
        return out.toString();
    }

    private static void writeTexts(List<String> texts) {
        String file = System.getProperty("probe.texts");
        if (file == null)
            return;
        try (Writer out = new OutputStreamWriter(new FileOutputStream(file), StandardCharsets.UTF_8)) {
            for (String text : texts)
                out.write((text.startsWith("PROBE\t") ? text : escape(text)) + "\n");
        } catch (IOException e) {
            System.err.println("probe: cannot write " + file + ": " + e);
        }
    }

    // Leaving as a user does: every showing frame gets the window-closing event its close box
    // sends, so that the program saves its settings the way it does on leaving. Posted, not
    // waited for: a program may ask a question on leaving, which would hold the probe.
    private static void closeAll() {
        for (Window w : Window.getWindows()) {
            if (w.isShowing() && w instanceof Frame)
                Toolkit.getDefaultToolkit().getSystemEventQueue().postEvent(new WindowEvent(w, WindowEvent.WINDOW_CLOSING));
        }
    }
}

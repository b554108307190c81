// Text written to streams, by where each stream leads (test_output_streams.cpp): the console,
// files, sockets and processes opened here, streams given by a field or a parameter, text kept in
// memory, and settings stored. No class here shows a window.

import java.io.BufferedWriter;
import java.io.File;
import java.io.FileOutputStream;
import java.io.FileWriter;
import java.io.IOException;
import java.io.OutputStream;
import java.io.OutputStreamWriter;
import java.io.PrintStream;
import java.io.PrintWriter;
import java.io.StringWriter;
import java.io.Writer;
import java.net.Socket;
import java.nio.file.Files;
import java.util.Properties;
import java.util.prefs.Preferences;

public class Streams {
    private PrintWriter given;
    private OutputStream client;

    void console(int n) {
        System.out.println("Console line text");
        System.err.println("Console error text");
        System.out.printf("Console pattern %d items%n", n);
        new PrintWriter(new OutputStreamWriter(System.out), true).println("Wrapped console text");
        System.out.println(inMemory());
    }

    void files(File f) throws IOException {
        try (PrintWriter w = new PrintWriter(new BufferedWriter(new FileWriter(f)))) {
            w.println("File line text");
            w.printf("File pattern %d rows%n", 3);
        }
        try (BufferedWriter b = Files.newBufferedWriter(f.toPath())) {
            b.write("Buffered file text");
            b.newLine();
        }
        try (PrintStream p = new PrintStream(f)) {
            p.println("Print stream on a file");
        }
        try (PrintWriter p = new PrintWriter("report.txt")) {
            p.println("Writer on a file name");
        }
        try (Writer w = new OutputStreamWriter(new FileOutputStream(f), "UTF-8")) {
            w.append("Appended file text");
        }
    }

    void socket(Socket s) throws IOException {
        PrintStream out = new PrintStream(s.getOutputStream(), true);
        out.println("Socket line text");
        Writer w = new OutputStreamWriter(s.getOutputStream(), "UTF-8");
        w.write("Socket writer text");
        w.flush();
    }

    void process(Process p) {
        new PrintWriter(p.getOutputStream(), true).println("Process input text");
    }

    void field() {
        given.println("Field stream text");
    }

    void parameter(PrintStream out, Writer w) throws IOException {
        out.println("Parameter stream text");
        w.write("Parameter writer text");
    }

    // A writer of the program's own: its calls reach BufferedWriter's write, where the stream
    // is not seen.
    void saver(Saver s) throws IOException {
        s.write("Saver entry text");
    }

    String inMemory() {
        StringWriter sw = new StringWriter();
        PrintWriter pw = new PrintWriter(sw);
        pw.print("Memory text");
        pw.flush();
        return sw.toString();
    }

    // As a mail server answers its client: a line of the protocol, turned into bytes.
    void sendClient(String line) throws IOException {
        client.write(line.getBytes());
    }

    void answer() throws IOException {
        sendClient("250 Protocol reply");
    }

    void settings() throws IOException {
        Properties p = new Properties();
        p.setProperty("window.title", "Stored setting value");
        p.put("window.note", "Put setting value");
        try (OutputStream out = new FileOutputStream("settings.properties")) {
            p.store(out, "Settings comment line");
        }
        Preferences.userRoot().put("pref.key", "Preference value text");
    }
}

class Saver extends BufferedWriter {
    Saver(Writer out) {
        super(out);
    }
}

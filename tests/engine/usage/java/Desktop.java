// What desktop programs put in their literals besides words for people: XML element names,
// layout constraints, appender names, URL schemes and namespaces, a text field's first
// content. The tests compile this file against the stand-ins under stubs/ and look each string
// up by its text.
import com.jgoodies.forms.layout.FormLayout;
import java.io.IOException;
import javax.swing.JLabel;
import javax.swing.JTextField;
import org.apache.log4j.Logger;
import org.apache.logging.log4j.core.config.builder.api.ConfigurationBuilder;
import org.example.game.Loader;
import org.osgi.framework.BundleContext;
import org.w3c.dom.Document;
import org.w3c.dom.Node;

class GameFile {
    // An element read by name and named again in the message of a failed load.
    static void options(Document doc) throws IOException {
        String tag = "optionGroup";
        if (doc.getElementsByTagName(tag).getLength() == 0)
            throw new IOException(tag);
    }

    // An element compared with the name of the node read, and named in the message.
    static void players(Node node) throws IOException {
        if (!"playerList".equals(node.getNodeName()))
            throw new IOException("playerList");
    }

    // An element the game's own loader library expects, and named in the message.
    static void owner() throws IOException {
        Loader.expect("ownerInitialize");
        throw new IOException("ownerInitialize");
    }

    // Prose reaching the same loader and a message stays offered.
    static void broken() throws IOException {
        Loader.expect("Cannot open the saved game");
        throw new IOException("Cannot open the saved game");
    }

    // Prose that only reaches the loader: offered as unknown. Code-shaped words are not.
    static void onlyTheLoader() {
        Loader.expect("Words the loader keeps for people");
        Loader.layout("fill, grow");
        Loader.layout("-n -e");
    }
}

class Panels {
    static Object form() {
        return new FormLayout("p, 2dlu, p", "pref:grow, 4dlu, fill:p");
    }

    static JTextField host() {
        return new JTextField("localhost");
    }

    // A field's first content that is also a label is shown.
    static JLabel sample(JTextField field) {
        field.setColumns(20);
        new JTextField("Sample name");
        return new JLabel("Sample name");
    }
}

class Logging {
    static void appenders(ConfigurationBuilder<?> builder) {
        builder.newAppender("Stdout", "Console");
        Logger.getRootLogger().getAppender("Console");
        Logger.getRootLogger().info("Console");
    }
}

class Plugins {
    // A URL scheme joined to a path, installed and logged: never prose.
    static void install(BundleContext context, String path) {
        String location = "reference:file:" + path;
        context.installBundle(location);
        System.out.println(location);
    }

    // A namespace shown and written: never prose.
    static JLabel namespace() {
        return new JLabel("http://www.example.org/map/1.0");
    }
}

import java.io.File;
import java.net.URL;
import java.net.URLClassLoader;
import java.util.Enumeration;
import java.util.jar.JarEntry;
import java.util.jar.JarFile;

// Loads and initialises every class of a jar in a loader of its own, and prints the classes
// that fail with what they threw, one a line, sorted by the caller.
public class InitAll {
    public static void main(String[] args) throws Exception {
        File jar = new File(args[0]);
        int loaded = 0;
        try (JarFile file = new JarFile(jar);
             URLClassLoader loader = new URLClassLoader(new URL[] {jar.toURI().toURL()}, InitAll.class.getClassLoader())) {
            for (Enumeration<JarEntry> e = file.entries(); e.hasMoreElements();) {
                String name = e.nextElement().getName();
                if (!name.endsWith(".class") || name.contains("-info") || name.startsWith("META-INF/"))
                    continue;
                String className = name.substring(0, name.length() - 6).replace('/', '.');
                try {
                    Class.forName(className, true, loader);
                    ++loaded;
                } catch (Throwable t) {
                    System.out.println("FAIL " + className + " " + t.getClass().getName());
                }
            }
        }
        System.err.println("initialised " + loaded);
    }
}

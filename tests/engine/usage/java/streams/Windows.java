// The same program with a window and Swing actions (test_output_streams.cpp): its console lines
// are debug output no window shows, and an action's values are judged by their keys.

import java.awt.event.ActionEvent;
import javax.swing.AbstractAction;
import javax.swing.Action;
import javax.swing.JFrame;

public class Windows {
    static Action make() {
        AbstractAction a = new AbstractAction() {
            public void actionPerformed(ActionEvent e) {
            }
        };
        a.putValue(Action.NAME, "Action name text");
        a.putValue(Action.SHORT_DESCRIPTION, "Action tooltip text");
        a.putValue(Action.ACTION_COMMAND_KEY, "Run the command");
        a.putValue("OwnKey", "Own key value text");
        Action b = a;
        b.putValue(Action.LONG_DESCRIPTION, "Interface long description");
        b.putValue(Action.SMALL_ICON, "Icon value text");
        return a;
    }

    public static void main(String[] args) {
        new JFrame("Window title text").setVisible(true);
        make();
        new OwnAction();
    }
}

class OwnAction extends AbstractAction {
    OwnAction() {
        putValue(NAME, "Own action name");
        putValue(ACTION_COMMAND_KEY, "Own action command");
        putValue(SHORT_DESCRIPTION, "Own action tooltip");
    }

    public void actionPerformed(ActionEvent e) {
    }
}

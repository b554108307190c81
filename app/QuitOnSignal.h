#pragma once
// SIGTERM, SIGINT and SIGHUP end classlingo through its event loop instead of killing it where
// it stands: a dialog that is open is left as if cancelled, the windows are destroyed in order
// and the program exits with status 0, as after the main window is closed. Nothing is asked,
// since nobody may be there to answer (the session is ending, a script or Ctrl+C stopped it).
// The end of the event loop is what the windows hear (QCoreApplication::aboutToQuit): a
// translation window puts its unsaved translations into its recovery file rather than over the
// catalogue, which nobody chose to save, and ends its run with everything the run started. The
// main window's unsaved replacements are not saved.
//
// The status says how far the program got: 0 after its main window was shown, 1 when start-up
// failed and its error box was open; scripts that start the program without a screen rely on
// that.

// Installs the handlers; call once, after the QApplication is made. Returns false when they
// could not be installed (or on a system without these signals), and the signals then act as
// they did before.
bool QuitOnSignals();

// Whether one of the signals has arrived: a question whose box closed then was not answered by
// anybody, and nothing should be done on its answer.
bool QuitSignalled();

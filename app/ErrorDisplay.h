#pragma once
// The top-level error display: an error that escapes an event handler (or start-up) is shown
// in a stop box captioned with the program's title, and the program carries on.

#include "Dialogs.h"

#include <QString>

#include <exception>
#include <utility>

// The message with "." appended when it is not empty and its last character's code is above
// that of "." (so nothing is added after ".", "!", ",", a space or a line break).
QString ErrorDisplayText(const QString& message);

// The executable's file name without folder and extension, the first letter as it is and every
// later letter lower case: "/opt/bin/classlingo" gives "classlingo", "ClassLingo.exe" "Classlingo".
QString ProgramTitleFrom(const QString& executablePath);
// ProgramTitleFrom of the running executable.
QString ProgramTitle();

// The text of an error in flight: "Range check error" and "Out of memory" for the engine's
// faults and a failed allocation, what() of any other standard exception, and empty for
// anything else.
QString ErrorText(const std::exception_ptr& error);

// Shows the error text by the rule above, owned by `owner`, captioned with ProgramTitle().
void ShowTopLevelError(Dialogs& dialogs, QWidget* owner, const QString& message);

// Runs an event handler; whatever escapes it is shown by the top-level error display and the
// rest of the handler is skipped. What it changed before stays changed.
template <class Handler>
void Guarded(Dialogs& dialogs, QWidget* owner, Handler&& handler)
{
    try {
        std::forward<Handler>(handler)();
    } catch (...) {
        ShowTopLevelError(dialogs, owner, ErrorText(std::current_exception()));
    }
}

#pragma once
// ProgramRunner: the process behind a run of the translated program, as the translation window
// sees it. The program uses QProcessRunner; window tests put a fake in its place and play the
// program's part (its output, its end) themselves.

#include "run/RunCommand.h"

#include <QByteArray>
#include <QMetaType>
#include <QObject>
#include <QString>

// How a run ended.
struct RunEnd {
    bool started = true;  // false: the program could not be started at all (`reason` says why)
    int exitCode = 0;
    bool crashed = false;  // ended by a signal (also when stopped)
    QString reason;
};
Q_DECLARE_METATYPE(RunEnd)

class ProgramRunner : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    // Starts the command. Ended follows once, whether the program started or not.
    virtual void Start(const cl::run::RunCommand& command) = 0;
    // Asks the program to end, and ends it if it does not do so soon; Ended follows.
    virtual void Stop() = 0;
    // Ends the program at once and returns once it has gone, with no Ended: the window that
    // started it is closing.
    virtual void Abandon() = 0;
    virtual bool IsRunning() const = 0;

signals:
    // What the program wrote, as it comes: standard output, or standard error when `error`.
    void Output(const QByteArray& bytes, bool error);
    void Ended(const RunEnd& end);
};

#pragma once
// The program's ProgramRunner: a QProcess with its standard output and error apart, started in a
// process group of its own (a new session), so that ending a run ends every process the program
// started, not only java: a program that starts a helper in the background must not leave it
// running on a translated copy whose folder is about to go. Ending is asking first (SIGTERM to
// the group, so that a JVM runs its shutdown hooks), then SIGKILL to whatever is left after a
// grace. A run counts as ended once nothing of its group is alive: when java ends by itself,
// what it left running in the background is ended too before Ended is sent. Should classlingo
// itself be killed, java is killed with it (Linux).

#include "ProgramRunner.h"

#include <QElapsedTimer>

class QProcess;
class QTimer;

class QProcessRunner : public ProgramRunner {
    Q_OBJECT
public:
    explicit QProcessRunner(QObject* parent = nullptr);
    ~QProcessRunner() override;

    void Start(const cl::run::RunCommand& command) override;
    void Stop() override;
    void Abandon() override;
    bool IsRunning() const override { return process_ != nullptr; }

    // The process group of the program while it runs (java's process id), 0 when there is none.
    qint64 Group() const { return group_; }

    // Whether any process of group `group` is still alive. Zombies (ended, waiting to be reaped
    // by a parent that may never do so) are not.
    static bool GroupAlive(qint64 group);

private:
    // java has ended (or never started): ends what is left of its group, then Ended.
    void ProgramEnded(const RunEnd& end);
    // While what is left of the group is being ended: Ended once it has gone (or does not go).
    void CheckGroup();
    // SIGTERM to the group, or SIGKILL with `force`.
    void SignalGroup(bool force);

    QProcess* process_ = nullptr;
    qint64 group_ = 0;
    QTimer* groupTimer_ = nullptr;  // polls the group once java has ended
    RunEnd end_;                    // how java ended, sent once the group has gone
    QElapsedTimer asked_;           // since SIGTERM went to the group; invalid before
    QElapsedTimer killed_;          // since SIGKILL went to the group; invalid before
};

#include "QProcessRunner.h"

#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>
#include <QThread>
#include <QTimer>

#ifdef Q_OS_UNIX
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>
#endif
#ifdef Q_OS_LINUX
#include <sys/prctl.h>
#endif

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

// How long a program asked to end may take (a JVM runs its shutdown hooks) before it is killed.
constexpr int kStopGraceMs = 3000;
// The same when the window goes (or classlingo ends): it waits, so the program gets less.
constexpr int kAbandonGraceMs = 1500;
// How long a killed group may take to go before the run counts as ended all the same (a process
// stuck in the kernel cannot be hurried).
constexpr int kKillWaitMs = 2000;
constexpr int kPollMs = 50;

QString Native(const std::string& text)
{
    return QFile::decodeName(QByteArray::fromStdString(text));
}

#ifdef Q_OS_LINUX
// The state and process group of a process, from /proc/PID/stat: "pid (name) S ppid pgrp ...",
// where the name may itself hold spaces and parentheses, so the fields are read after the last ')'.
bool ReadStat(const char* pid, char& state, long& group)
{
    char path[64];
    std::snprintf(path, sizeof path, "/proc/%s/stat", pid);
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    char text[512];
    const ssize_t got = ::read(fd, text, sizeof text - 1);
    ::close(fd);
    if (got <= 0)
        return false;
    text[got] = '\0';
    const char* close = std::strrchr(text, ')');
    if (close == nullptr)
        return false;
    long parent = 0;
    return std::sscanf(close + 1, " %c %ld %ld", &state, &parent, &group) == 3;
}
#endif

}  // namespace

QProcessRunner::QProcessRunner(QObject* parent) : ProgramRunner(parent)
{
    groupTimer_ = new QTimer(this);
    groupTimer_->setInterval(kPollMs);
    connect(groupTimer_, &QTimer::timeout, this, &QProcessRunner::CheckGroup);
}

QProcessRunner::~QProcessRunner()
{
    Abandon();
}

bool QProcessRunner::GroupAlive(qint64 group)
{
#ifdef Q_OS_LINUX
    if (group <= 1)
        return false;
    DIR* proc = ::opendir("/proc");
    if (proc == nullptr)
        return ::kill(static_cast<pid_t>(-group), 0) == 0;
    bool alive = false;
    while (const dirent* entry = ::readdir(proc)) {
        if (entry->d_name[0] < '0' || entry->d_name[0] > '9')
            continue;
        char state = 0;
        long of = 0;
        if (ReadStat(entry->d_name, state, of) && of == group && state != 'Z' && state != 'X') {
            alive = true;
            break;
        }
    }
    ::closedir(proc);
    return alive;
#elif defined(Q_OS_UNIX)
    return group > 1 && ::kill(static_cast<pid_t>(-group), 0) == 0;
#else
    Q_UNUSED(group);
    return false;
#endif
}

void QProcessRunner::SignalGroup(bool force)
{
    QElapsedTimer& since = force ? killed_ : asked_;
    if (!since.isValid())
        since.start();
#ifdef Q_OS_UNIX
    // Never 0 or 1: kill(0) and kill(-1) would reach classlingo's own group, or every process.
    if (group_ > 1)
        ::kill(static_cast<pid_t>(-group_), force ? SIGKILL : SIGTERM);
#else
    if (process_ != nullptr)
        force ? process_->kill() : process_->terminate();
#endif
}

void QProcessRunner::Start(const cl::run::RunCommand& command)
{
    if (process_ != nullptr)
        return;
    process_ = new QProcess(this);
    group_ = 0;
    end_ = RunEnd();
    asked_.invalidate();
    killed_.invalidate();
    QProcess* process = process_;
    QStringList arguments;
    for (const std::string& argument : command.arguments)
        arguments.append(Native(argument));
    process->setProgram(Native(command.program));
    process->setArguments(arguments);
    process->setWorkingDirectory(Native(command.workingFolder));
    process->setProcessChannelMode(QProcess::SeparateChannels);
    if (!command.environment.empty()) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const cl::run::EnvironmentVariable& variable : command.environment)
            environment.insert(Native(variable.first), Native(variable.second));
        process->setProcessEnvironment(environment);
    }
#ifdef Q_OS_UNIX
    const pid_t parent = ::getpid();
    process->setChildProcessModifier([parent] {
        // In the child, between fork and exec: only calls that are safe there.
        ::setsid();
#ifdef Q_OS_LINUX
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent)
            ::_exit(127);  // classlingo went before the request could take effect
#else
        (void)parent;
#endif
    });
#endif
    connect(process, &QProcess::readyReadStandardOutput, this,
            [this, process] { emit Output(process->readAllStandardOutput(), false); });
    connect(process, &QProcess::readyReadStandardError, this,
            [this, process] { emit Output(process->readAllStandardError(), true); });
    connect(process, &QProcess::errorOccurred, this, [this, process](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart || process != process_)
            return;
        RunEnd end;
        end.started = false;
        end.reason = process->errorString();
        ProgramEnded(end);
    });
    connect(process, &QProcess::finished, this, [this, process](int exitCode, QProcess::ExitStatus status) {
        if (process != process_)
            return;
        // Whatever is still buffered belongs before the end.
        if (const QByteArray rest = process->readAllStandardOutput(); !rest.isEmpty())
            emit Output(rest, false);
        if (const QByteArray rest = process->readAllStandardError(); !rest.isEmpty())
            emit Output(rest, true);
        RunEnd end;
        end.exitCode = exitCode;
        end.crashed = status == QProcess::CrashExit;
        ProgramEnded(end);
    });
    process->start();
    // The child is made by the time start() returns (unless it failed to start and has been
    // told already); a new session's group is named by its leader.
    if (process == process_)
        group_ = process->processId();
}

void QProcessRunner::ProgramEnded(const RunEnd& end)
{
    end_ = end;
    process_->disconnect(this);
    if (!GroupAlive(group_)) {
        CheckGroup();
        return;
    }
    // What java left running goes too, asked first unless a stop has asked already.
    if (!asked_.isValid())
        SignalGroup(false);
    groupTimer_->start();
}

void QProcessRunner::CheckGroup()
{
    if (process_ == nullptr)
        return;
    const bool alive = GroupAlive(group_);
    if (alive && !killed_.isValid()) {
        if (asked_.isValid() && asked_.elapsed() >= kStopGraceMs)
            SignalGroup(true);
        return;
    }
    if (alive && killed_.elapsed() < kKillWaitMs)
        return;
    groupTimer_->stop();
    QProcess* process = process_;
    process_ = nullptr;
    group_ = 0;
    process->deleteLater();
    emit Ended(end_);
}

void QProcessRunner::Stop()
{
    if (process_ == nullptr || asked_.isValid())
        return;
    SignalGroup(false);
    QTimer::singleShot(kStopGraceMs, process_, [this] {
        if (process_ != nullptr && !killed_.isValid())
            SignalGroup(true);
    });
}

void QProcessRunner::Abandon()
{
    if (process_ == nullptr)
        return;
    groupTimer_->stop();
    QProcess* process = process_;
    process->disconnect(this);
    // The window waits for this: the program gets a short grace to end as it would, then is killed.
    auto waitForGroup = [this](int ms) {
        QElapsedTimer clock;
        clock.start();
        while (GroupAlive(group_) && clock.elapsed() < ms)
            QThread::msleep(kPollMs / 2);
    };
    if (!asked_.isValid())
        SignalGroup(false);
    process->waitForFinished(kAbandonGraceMs);
    waitForGroup(kAbandonGraceMs - static_cast<int>(std::min<qint64>(asked_.elapsed(), kAbandonGraceMs)));
    if (GroupAlive(group_) || process->state() != QProcess::NotRunning) {
        SignalGroup(true);
        process->waitForFinished(kKillWaitMs);
        waitForGroup(kKillWaitMs);
    }
    process_ = nullptr;
    group_ = 0;
    delete process;
}

#include "QProcessRunner.h"

#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QTimer>

namespace {

// How long a program asked to end may take (a JVM runs its shutdown hooks) before it is killed.
constexpr int kStopGraceMs = 3000;

QString Native(const std::string& text)
{
    return QFile::decodeName(QByteArray::fromStdString(text));
}

}  // namespace

QProcessRunner::~QProcessRunner()
{
    Abandon();
}

void QProcessRunner::Start(const cl::run::RunCommand& command)
{
    if (process_ != nullptr)
        return;
    process_ = new QProcess(this);
    QProcess* process = process_;
    QStringList arguments;
    for (const std::string& argument : command.arguments)
        arguments.append(Native(argument));
    process->setProgram(Native(command.program));
    process->setArguments(arguments);
    process->setWorkingDirectory(Native(command.workingFolder));
    process->setProcessChannelMode(QProcess::SeparateChannels);
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
        Finish(end);
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
        Finish(end);
    });
    process->start();
}

void QProcessRunner::Finish(const RunEnd& end)
{
    QProcess* process = process_;
    process_ = nullptr;
    process->disconnect(this);
    process->deleteLater();
    emit Ended(end);
}

void QProcessRunner::Stop()
{
    if (process_ == nullptr)
        return;
    process_->terminate();
    QTimer::singleShot(kStopGraceMs, process_, &QProcess::kill);
}

void QProcessRunner::Abandon()
{
    if (process_ == nullptr)
        return;
    QProcess* process = process_;
    process_ = nullptr;
    process->disconnect(this);
    process->kill();
    process->waitForFinished(kStopGraceMs);
    delete process;
}

#pragma once
// The program's ProgramRunner: a QProcess with its standard output and error apart.

#include "ProgramRunner.h"

class QProcess;

class QProcessRunner : public ProgramRunner {
    Q_OBJECT
public:
    using ProgramRunner::ProgramRunner;
    ~QProcessRunner() override;

    void Start(const cl::run::RunCommand& command) override;
    void Stop() override;
    void Abandon() override;
    bool IsRunning() const override { return process_ != nullptr; }

private:
    void Finish(const RunEnd& end);

    QProcess* process_ = nullptr;
};

#pragma once
// What every window test that runs a real program sets up first: classes compiled by javac into
// a folder of its own, and the application's settings kept in a scratch folder, never the
// user's (the recent programs, the trial run's choices).

#include "Java.h"
#include "TestFiles.h"

#include <QCoreApplication>
#include <QSettings>
#include <QString>
#include <QTemporaryDir>

#include <optional>
#include <string>

namespace testfiles {

// The class file javac makes of `source` (class `name`) in `folder`; nothing, with `error` set to
// javac's words, when it cannot be compiled or read.
inline std::optional<QByteArray> CompiledClass(const QTemporaryDir& folder, const char* name, const char* source,
                                               std::string& error)
{
    error = cltest::CompileJava(Native(folder.path()), name, source);
    if (!error.empty())
        return std::nullopt;
    std::optional<QByteArray> bytes = ReadFile(folder.filePath(QString::fromUtf8(name) + QStringLiteral(".class")));
    if (!bytes)
        error = std::string("cannot read ") + name + ".class";
    return bytes;
}

// The settings of `application` in `folder`.
inline void KeepSettingsIn(const QTemporaryDir& folder, const QString& application)
{
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, folder.path());
    QCoreApplication::setOrganizationName(QStringLiteral("classlingo-tests"));
    QCoreApplication::setApplicationName(application);
}

}  // namespace testfiles

#include "TestFiles.h"

#include <QDir>
#include <QFile>
#include <QProcess>

namespace testfiles {

bool WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return file.write(bytes) == bytes.size() && file.flush();
}

std::optional<QByteArray> ReadFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return file.readAll();
}

QByteArray Utf8Entry(const QByteArray& utf8)
{
    QByteArray entry;
    entry.append('\x01').append('\x00').append(static_cast<char>(utf8.size())).append(utf8);
    return entry;
}

QByteArray PackEntry(const QByteArray& utf8)
{
    QByteArray entry;
    entry.append('\x00').append(static_cast<char>(utf8.size())).append(utf8);
    return entry;
}

std::optional<QByteArray> CompileJava(const QString& javac, const QString& folder, const QString& className,
                                      const QString& source)
{
    if (javac.isEmpty())
        return std::nullopt;
    const QString javaPath = QDir(folder).filePath(className + QStringLiteral(".java"));
    if (!WriteFile(javaPath, source.toUtf8()))
        return std::nullopt;
    QProcess process;
    process.start(javac,
                  {QStringLiteral("-encoding"), QStringLiteral("UTF-8"), QStringLiteral("-d"), folder, javaPath});
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return std::nullopt;
    return ReadFile(QDir(folder).filePath(className + QStringLiteral(".class")));
}

}  // namespace testfiles

#include "TestFiles.h"

#include <QFile>

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

std::string Native(const QString& path)
{
    return QFile::encodeName(path).toStdString();
}

}  // namespace testfiles

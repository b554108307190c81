#include "RecentPrograms.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

namespace recent {

namespace {

const QString kKey = QStringLiteral("translation/recentPrograms");

QString Absolute(const QString& path)
{
    QString absolute = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    return absolute;
}

void Remember(const QStringList& programs)
{
    QSettings().setValue(kKey, programs);
}

}  // namespace

QStringList Programs()
{
    return QSettings().value(kKey).toStringList();
}

void Add(const QString& path)
{
    const QString absolute = Absolute(path);
    QStringList programs = Programs();
    programs.removeAll(absolute);
    programs.prepend(absolute);
    while (programs.size() > kMost)
        programs.removeLast();
    Remember(programs);
}

QStringList ExistingPrograms()
{
    const QStringList programs = Programs();
    QStringList existing;
    for (const QString& program : programs) {
        if (QFileInfo::exists(program))
            existing.append(program);
    }
    if (existing != programs)
        Remember(existing);
    return existing;
}

}  // namespace recent

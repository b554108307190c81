#pragma once
// The programs opened last in a translation window, most recent first, kept in QSettings (at
// most kMost): whichever way a program was opened (the open dialog, this list, the main window,
// the command line or a drop), it counts once it has opened.

#include <QString>
#include <QStringList>

namespace recent {

inline constexpr int kMost = 10;

// As remembered.
QStringList Programs();
// Puts `path` (made absolute) first, once, and forgets the oldest past kMost.
void Add(const QString& path);
// Forgets the programs that are no longer there and gives the rest.
QStringList ExistingPrograms();

}  // namespace recent

#pragma once
// What the translation window's parts share: its settings keys, its path and text helpers. Private
// to the window's own files (TranslationWindow*.cpp, TranslationRun.cpp, TranslationJobs.cpp).

#include "ErrorText.h"
#include "ProgramText.h"
#include "catalogue/Progress.h"
#include "errors/Error.h"

#include <QDir>
#include <QFile>
#include <QString>

#ifdef __GLIBC__
#include <malloc.h>
#endif

#include <string>

namespace translation_window {

inline const QString kErrorCaption = QStringLiteral("错误");
// The class a run starts, per program, for programs with several that could.
inline const QString kMainClassKey = QStringLiteral("translation/runMainClass");
// Whether a run uses the user's own home rather than a scratch one.
inline const QString kRealHomeKey = QStringLiteral("translation/runRealHome");
// A run that ends with an error sooner than this failed as it started (a class Java cannot load,
// a missing library), rather than in the middle of what the translator was trying.
inline constexpr qint64 kAtOnceMs = 5000;

inline std::string NativePath(const QString& path)
{
    return QFile::encodeName(path).toStdString();
}

inline QString DisplayPath(const std::string& path)
{
    return QFile::decodeName(QByteArray::fromStdString(path));
}

inline QString Quoted(const QString& text)
{
    return QStringLiteral("“") + text + QStringLiteral("”");
}

inline QString ErrorText(const cl::Error& error)
{
    return QString::fromStdString(cltext::DescribeError(error));
}

inline QString FromUtf8(const std::string& text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

inline QString StageText(cl::catalogue::WorkStage stage)
{
    return QString::fromStdString(cltext::StageText(stage)) + QStringLiteral("…");
}

// Reading a program takes several times its size for a moment (every class, parsed); the
// table keeps only its texts. Without this the allocator would keep the rest of the moment's
// memory resident for as long as the window stays open.
inline void GiveBackFreedMemory()
{
#ifdef __GLIBC__
    malloc_trim(0);
#endif
}

inline QString TrimmedPath(QString path)
{
    while (path.size() > 1 && (path.endsWith(u'/') || path.endsWith(QDir::separator())))
        path.chop(1);
    return path;
}

}  // namespace translation_window

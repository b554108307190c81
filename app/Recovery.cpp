#include "Recovery.h"

#include "files/FileOps.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace recovery {

namespace {

cl::Error CatalogueError(cl::ErrorKind kind, const std::string& path, std::error_code code)
{
    cl::Error error(kind, path, code);
    error.task = cl::ErrorTask::Catalogue;
    return error;
}

// The folders of `folder` that are missing, made from the outermost in.
cl::Status MakeFolders(const std::string& folder, cl::FileSystem& fs)
{
    cl::FileInfo info;
    if (const std::error_code ec = fs.Stat(folder, info); ec)
        return CatalogueError(cl::ErrorKind::CannotMakeFolder, folder, ec);
    if (info.exists)
        return {};
    const std::string parent = cl::FolderOf(folder);
    if (!parent.empty() && parent != folder) {
        if (cl::Status made = MakeFolders(parent, fs); !made)
            return made;
    }
    if (const std::error_code ec = fs.MakeFolder(folder); ec)
        return CatalogueError(cl::ErrorKind::CannotMakeFolder, folder, ec);
    return {};
}

}  // namespace

QString DefaultFolder()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation))
        .filePath(QStringLiteral("classlingo/recovery"));
}

QString FileFor(const QString& folder, const QString& programPath)
{
    QString absolute = QDir::cleanPath(QFileInfo(programPath).absoluteFilePath());
    const QByteArray digest =
        QCryptographicHash::hash(QFile::encodeName(absolute), QCryptographicHash::Sha256).toHex().left(16);
    QString name = QFileInfo(absolute).fileName();
    if (name.isEmpty())
        name = QStringLiteral("program");
    return QDir(folder).filePath(name + u'-' + QString::fromLatin1(digest) + QStringLiteral(".po"));
}

cl::Status Write(const std::string& path, std::string_view text, cl::FileSystem& fs)
{
    if (cl::Status made = MakeFolders(cl::FolderOf(path), fs); !made)
        return made;
    if (cl::Status written = cl::WriteFileSafely(path, text, fs); !written) {
        cl::Error error = std::move(written).error();
        error.task = cl::ErrorTask::Catalogue;
        return error;
    }
    return {};
}

cl::Status Remove(const std::string& path, cl::FileSystem& fs)
{
    const std::error_code ec = fs.Remove(path);
    if (!ec || ec == std::errc::no_such_file_or_directory)
        return {};
    return CatalogueError(cl::ErrorKind::CannotWrite, path, ec);
}

}  // namespace recovery

#include "ErrorDisplay.h"

#include "EngineText.h"
#include "text/ByteStringErrors.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <new>

QString ErrorDisplayText(const QString& message)
{
    if (!message.isEmpty() && message.back().unicode() > u'.')
        return message + u'.';
    return message;
}

QString ProgramTitleFrom(const QString& executablePath)
{
    const QString name = QFileInfo(executablePath).completeBaseName();
    if (name.isEmpty())
        return name;
    return name.left(1) + name.mid(1).toLower();
}

QString ProgramTitle()
{
    return ProgramTitleFrom(QCoreApplication::applicationFilePath());
}

QString ErrorText(const std::exception_ptr& error)
{
    try {
        std::rethrow_exception(error);
    } catch (const cl::RangeError&) {
        return QString::fromUtf8(cltext::RangeErrorText());
    } catch (const cl::OutOfMemory&) {
        return QString::fromUtf8(cltext::OutOfMemoryText());
    } catch (const std::bad_alloc&) {
        return QString::fromUtf8(cltext::OutOfMemoryText());
    } catch (const std::exception& e) {
        // Engine texts are UTF-8; paths in them are in the file-name encoding, UTF-8 here.
        return QString::fromUtf8(e.what());
    } catch (...) {
        return QString();
    }
}

void ShowTopLevelError(Dialogs& dialogs, QWidget* owner, const QString& message)
{
    dialogs.ShowStop(owner, ErrorDisplayText(message), ProgramTitle());
}

#include "WindowSession.h"

#include "TestFiles.h"

#include <QTest>

bool WindowSession::Start(const QByteArray& filterIni)
{
    dir_ = std::make_unique<QTemporaryDir>();
    if (!dir_->isValid())
        return false;
    if (!filterIni.isNull())
        Write(QStringLiteral("Filter.ini"), filterIni);
    dialogs_ = std::make_unique<ScriptedDialogs>();
    Restart();
    return QTest::qWaitForWindowExposed(form_.get());
}

void WindowSession::Restart()
{
    const bool hadEditor = editor_ != nullptr;
    editor_.reset();
    form_.reset();
    form_ = TForm1::Create(*dialogs_, dir_->path());
    if (hadEditor)
        AttachManifestEditor();
    form_->show();
}

TForm2& WindowSession::AttachManifestEditor()
{
    editor_ = std::make_unique<TForm2>(*dialogs_, form_->dlgOpen3);
    form_->SetManifestEditor(editor_.get());
    return *editor_;
}

QString WindowSession::Finish()
{
    QStringList problems = dialogs_->Problems();
    if (dialogs_->Pending() > 0)
        problems << QStringLiteral("%1 expected dialog(s) never shown").arg(dialogs_->Pending());
    editor_.reset();
    form_.reset();
    dialogs_.reset();
    dir_.reset();
    return problems.join(u'\n');
}

QString WindowSession::Write(const QString& name, const QByteArray& bytes)
{
    const QString path = Path(name);
    if (!testfiles::WriteFile(path, bytes))
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

QByteArray WindowSession::Read(const QString& path) const
{
    return testfiles::ReadFile(path).value_or(QByteArray("<missing>"));
}

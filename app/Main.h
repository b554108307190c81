#pragma once
// TForm1: the main window. It owns the opened file image, the word list and the string list;
// its handlers open class files and language packs, list their strings, replace the selected
// one, save, export, convert between ANSI and UTF-8 and open the manifest editor.

#include "Dialogs.h"
#include "document/Document.h"
#include "files/FileImage.h"
#include "scan/FilterList.h"
#include "LineBreaks.h"
#include "scan/StringList.h"
#include "files/FileSystem.h"

#include <memory>

#include <QWidget>

class QCheckBox;
class QDragEnterEvent;
class QDropEvent;
class QFrame;
class QGroupBox;
class QItemSelection;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTableView;
class StringListModel;
class TForm2;

namespace cl {
class FileSystem;
struct Error;
}

class TForm1 : public QWidget {
    Q_OBJECT
public:
    // The window with the word list already read. Runs FormCreate once the window is built.
    TForm1(Dialogs& dialogs, cl::FilterList filter, QWidget* parent = nullptr);
    ~TForm1() override;

    // Reads Filter.ini from `filterFolder` (a missing one is an empty list) and builds the
    // window; when the file exists but cannot be read, shows why in the top-level error display
    // and gives nothing, as the program then ends.
    static std::unique_ptr<TForm1> Create(Dialogs& dialogs, const QString& filterFolder,
                                          cl::FileSystem& fs = cl::NativeFileSystem());

    // The manifest editor that btn7Click opens; created after this window.
    void SetManifestEditor(TForm2* form2) { form2_ = form2; }

    static QString BaseTitle();

    const cl::FileImage& Image() const { return document_.Image(); }
    const cl::FilterList& Filter() const { return filter_; }
    const cl::StringList& List() const;
    StringListModel* Model() const { return model_; }
    // 0-based index of the selected row of lv1, or -1 when no row is selected.
    int SelectedRow() const;

    // Controls, by their names.
    QFrame* pnl1 = nullptr;
    QTableView* lv1 = nullptr;
    QFrame* pnl2 = nullptr;
    QPlainTextEdit* mmo1 = nullptr;
    QLabel* lbl2 = nullptr;
    QPushButton* btn1 = nullptr;
    QLabel* lbl1 = nullptr;
    QGroupBox* grp1 = nullptr;
    QLabel* lbl3 = nullptr;
    QLineEdit* edt2 = nullptr;
    QPushButton* btn5 = nullptr;
    QPushButton* btn6 = nullptr;
    QLabel* lbl4 = nullptr;
    QLineEdit* edt3 = nullptr;
    QGroupBox* grp2 = nullptr;
    QPushButton* btn2 = nullptr;
    QPushButton* btn4 = nullptr;
    QPushButton* btn7 = nullptr;
    QPushButton* btn8 = nullptr;
    QPushButton* btn3 = nullptr;
    // Shows only the rows a translator may change (plain string constants); remembered.
    QCheckBox* chk1 = nullptr;
    // Opens a whole program (jar, folder or class) in a translation window.
    QPushButton* btn9 = nullptr;

    // The window's file dialogs; each remembers the file and filter chosen last.
    FileDialogSpec dlgOpen1;  // class files
    FileDialogSpec dlgOpen2;  // language packs
    FileDialogSpec dlgOpen3;  // manifests, shared with the manifest editor
    FileDialogSpec dlgSave1;  // text export
    FileDialogSpec dlgOpen4;  // programs for the translation window

    // A translation window of its own on a jar/zip, a folder or a class file.
    void OpenProgram(const QString& path);

    // The file system the window's opens, backups, saves and exports go through (the native one
    // unless a test puts one that fails here); the manifest editor and the translation windows
    // it opens use it too.
    void SetFileSystem(cl::FileSystem& fs);

public slots:
    void FormCreate();
    void btn2Click();  // open class file
    void btn4Click();  // open language pack
    void btn7Click();  // open manifest
    void btn1Click();  // replace
    void btn3Click();  // save
    void btn8Click();  // export text
    void btn5Click();  // ANSI -> UTF-8
    void btn6Click();  // UTF-8 -> ANSI
    void lv1SelectItem(const QItemSelection& selected, const QItemSelection& deselected);
    void mmo1Change();
    void chk1Click();
    void btn9Click();  // translate a whole program

protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    // A program dropped on the window opens in a translation window.
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildControls();
    void PlaceControls();
    void SetTabOrder();
    void OpenImage(FileDialogSpec& dialog, cl::DocumentKind kind);
    // The replacement box's text as the bytes a replacement would write: the selected row's
    // line breaks put back where the user left them alone.
    QString ReplacementText() const;
    // Unsaved replacements are not thrown away without a question when the window closes.
    void FormCloseQuery(bool& CanClose);
    // The unsaved-changes prompt; false when the user cancels or the save fails.
    bool SaveChangesFirst();
    // Saves the image; on failure shows why and leaves Save enabled.
    bool SaveImageNow();
    void ShowFileError(const cl::Error& error);
    // Hides the rows that are not plain string constants while chk1 is checked.
    void ApplyTranslatableFilter();
    // Asks before a row that is not a plain string constant is replaced, refuses one that is no
    // constant at all; false: leave it.
    bool MayReplaceRow(int row);

    Dialogs& dialogs_;
    cl::FileSystem* fs_;
    cl::Document document_;
    LineBreaks captionBreaks_;
    // Replace is the default button from the first change of the box on, for the rest of the
    // run; kept here because a button's own default state is lost when it loses the focus.
    bool replaceIsDefault_ = false;
    cl::FilterList filter_;
    StringListModel* model_ = nullptr;
    TForm2* form2_ = nullptr;
};

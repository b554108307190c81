#pragma once
// The translation window: a whole program (a jar, a folder of classes or one class) in one
// table, with the details of the current text below it, live checks of each translation,
// undo, PO catalogues in and out, and generating the translated program. Opening and
// generating run on a worker thread behind a progress dialog that can cancel them; a job that
// runs out of memory says so and leaves the translations as they were. "试运行" generates the
// program into a scratch folder and runs it with java (with a scratch home unless the translator
// asks for the real one), its output in a pane. Unsaved translations are autosaved every few
// minutes to a recovery file, and written there too when classlingo ends with the window still
// open (a signal); the next open of the same program offers to restore them.

#include "Dialogs.h"
#include "RecoveryText.h"
#include "catalogue/ProgramSession.h"
#include "files/FileSystem.h"

#include <QElapsedTimer>
#include <QMainWindow>
#include <QString>

#include <exception>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListView;
class QMenu;
class QPlainTextEdit;
class QProgressBar;
class QProgressDialog;
class QStringListModel;
class QTableView;
class QThread;
class QTimer;
class ProgramRunner;
class RunPane;
class TranslationFilter;
class TranslationModel;
struct OpenJob;
struct RunEnd;

class TranslationWindow : public QMainWindow {
    Q_OBJECT
public:
    // Every file the window reads or writes goes through `fs`.
    explicit TranslationWindow(Dialogs& dialogs, cl::FileSystem& fs = cl::NativeFileSystem(),
                               QWidget* parent = nullptr);
    ~TranslationWindow() override;

    static QString BaseTitle();
    // The catalogue proposed beside a program, and the translated program proposed beside it.
    static QString ProposedCatalogue(const QString& programPath);
    static QString ProposedOutput(const QString& programPath, bool folder);

    // Starts opening a program (after the unsaved-changes question); the table changes only
    // once it has been read whole. Returns at once; JobFinished() tells when it is done.
    void Open(const QString& path);
    bool IsOpen() const { return !programPath_.isEmpty(); }
    QString ProgramPath() const { return programPath_; }
    QString CataloguePath() const;
    bool IsModified() const;
    bool Busy() const { return worker_ != nullptr; }

    TranslationModel* Model() const { return model_; }
    TranslationFilter* Filter() const { return filter_; }
    QProgressDialog* Progress() const { return progress_; }
    // The source row shown in the detail pane, -1 for none.
    int CurrentRow() const { return currentRow_; }

    // Controls, for the tests.
    QTableView* table = nullptr;
    QLineEdit* searchBox = nullptr;
    QComboBox* stateBox = nullptr;
    QCheckBox* annotationsBox = nullptr;
    QPlainTextEdit* sourceView = nullptr;
    QListView* placesView = nullptr;
    QPlainTextEdit* translationEdit = nullptr;
    QLabel* problemLabel = nullptr;
    QLabel* reviewLabel = nullptr;  // a translation needing review, and the text it was made for
    QLabel* useLabel = nullptr;     // where the text goes; for a withheld one, why
    QLabel* countLabel = nullptr;
    QProgressBar* countBar = nullptr;
    QAction* openAction = nullptr;
    QAction* saveAction = nullptr;
    QAction* saveAsAction = nullptr;
    QAction* importAction = nullptr;
    QAction* generateAction = nullptr;
    QAction* undoAction = nullptr;
    QAction* redoAction = nullptr;
    QAction* nextAction = nullptr;
    QAction* acceptAction = nullptr;
    QAction* runAction = nullptr;   // F5
    QAction* stopAction = nullptr;  // Shift+F5
    QCheckBox* realHomeBox = nullptr;  // the run uses the user's own home; remembered, off at first
    QMenu* recentMenu = nullptr;    // the open action's drop-down
    RunPane* runPane = nullptr;

    // Where a run looks for java: PATH and JAVA_HOME, the process's own unless a test sets others.
    struct RunEnvironment {
        QString path;
        QString javaHome;
    };
    RunEnvironment runEnvironment;

    // The process a run starts goes through `runner` (a QProcessRunner unless a test puts a fake
    // here); the window takes it over. Only while nothing runs.
    void SetRunner(ProgramRunner* runner);
    bool Running() const;
    // The scratch folder of the run being prepared or running; empty when there is none.
    QString RunFolder() const;

    // Where unsaved translations are kept (recovery::DefaultFolder() unless a test sets another),
    // and the recovery file of the program open.
    QString recoveryFolder;
    QString RecoveryPath() const;
    // How often unsaved translations are written to the recovery file.
    static constexpr int kAutosaveMs = 2 * 60 * 1000;
    void SetAutosaveInterval(int ms);
    // Writes the recovery file now when there are translations not yet in it; false when it
    // could not be written (the status line says why).
    bool Autosave();
    // classlingo is ending with this window open (a signal, or the session ending): a job is
    // cancelled, unsaved translations go to the recovery file (its path on standard error), and
    // a run ends with everything it started. Nothing is asked.
    void ApplicationEnding();

    // The window's file dialogs; each remembers the last choice.
    FileDialogSpec dlgOpen;
    FileDialogSpec dlgSave;
    FileDialogSpec dlgImport;
    FileDialogSpec dlgGenerate;

signals:
    void JobFinished();

public slots:
    void OpenClick();
    // Writes the catalogue (where it was read from or last saved, else where the translator
    // chooses); false when cancelled or failed.
    bool Save();
    // Writes the catalogue where the translator chooses, which then is the catalogue.
    bool SaveAs();
    // Clears the needs-review mark of the current translation.
    void AcceptCurrent();
    void Import();
    void Generate();
    void NextUntranslated();
    void CancelJob();
    // Generates the translated program into a scratch folder and starts it with java.
    void Run();
    void StopRun();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    using Work = std::function<void(const cl::catalogue::Progress& progress)>;
    // How a job's work ended: as it should (or cancelled, which `cancelled` says), or by an
    // exception (out of memory), which StartJob has shown; `done` then only tidies up.
    enum class JobEnd { Finished, Cancelled, Failed };
    // Runs `work` on a worker thread behind the progress dialog, then `done` on this thread.
    // Whatever `work` or `done` throws is caught and shown (out of memory as `job`'s sentence).
    void StartJob(const QString& label, cltext::WindowJob job, Work work, std::function<void(JobEnd end)> done);
    void ShowJobFailure(cltext::WindowJob job, const std::exception_ptr& failure);
    void StageBegun(cl::catalogue::WorkStage stage);
    void Opened(const QString& path, OpenJob& job);
    bool SaveChangesFirst();
    void ShowCurrent();
    void CurrentChanged(const QModelIndex& current);
    void RowsChanged(const QModelIndex& first, const QModelIndex& last);
    void EditorChanged();
    void UpdateTitle();
    void UpdateCounts();
    void UpdateActions();
    void ShowProblem(int row);
    void UpdateReview();
    bool SaveTo(QString path);
    void ReportGenerated(const std::string& output, const cl::catalogue::GenerateReport& report);
    // Names the problems a generate found, and that nothing was written.
    void ShowApplyProblems(const std::vector<cl::catalogue::ApplyProblem>& problems);
    // The class a run starts: the only one with a main method, the one chosen before for this
    // program, or the one the translator chooses now. Empty when there is none or no choice.
    std::optional<std::string> MainClassToRun();
    void RunEnded(const RunEnd& end);
    // Ends a run at once (the window goes) and removes its files.
    void AbandonRun();
    void RemoveRunFolder();
    // The recovery file: written (false when it could not be, `why` then says why), removed
    // (the translations it held were saved or discarded), offered at an open.
    bool WriteRecovery(std::string* why = nullptr);
    void RemoveRecovery();
    void OfferRecovery();
    void FillRecentMenu();
    // Names the translations with problems and offers to show the first.
    void OfferFirstProblem(const std::vector<std::size_t>& rows);
    // Selects a row, making the filters give way when they hide it.
    void ShowRow(int row);
    void Report(const QString& text, bool warning);
    void ShowError(const QString& text);

    Dialogs& dialogs_;
    cl::FileSystem& fs_;
    // The program being translated: the window owns it, the table presents it.
    cl::catalogue::ProgramSession session_;
    TranslationModel* model_ = nullptr;
    TranslationFilter* filter_ = nullptr;
    QStringListModel* places_ = nullptr;
    QProgressDialog* progress_ = nullptr;
    QThread* worker_ = nullptr;
    std::shared_ptr<std::atomic<bool>> cancel_;
    // Undoes what a job left half-way when the window goes before the job's result is seen.
    std::function<void()> abandon_;
    QString programPath_;
    bool programIsFolder_ = false;
    int currentRow_ = -1;
    bool showing_ = false;  // the detail pane is being filled, not edited
    ProgramRunner* runner_ = nullptr;
    std::string runFolder_;   // the scratch folder of the run being prepared or running
    std::string runProgram_;  // the java it starts
    bool runStopping_ = false;
    QElapsedTimer runClock_;
    QTimer* autosaveTimer_ = nullptr;
    // The translations have changed since the recovery file was written (or removed).
    bool recoveryStale_ = false;
    // The recovery file of the program open was written (or restored) by this window.
    bool recoveryMine_ = false;
};

// A new translation window of its own (deleted when closed), shown and opening `path`.
TranslationWindow* OpenTranslationWindow(Dialogs& dialogs, const QString& path,
                                         cl::FileSystem& fs = cl::NativeFileSystem());

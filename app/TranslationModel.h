#pragma once
// The translation window's table: it presents the window's program session (one row per text: its
// source, the translation being written, how many places use it and where) and keeps only what
// a view needs besides: the texts as Qt strings, the counts, and the undo stack whose commands
// call the session. TranslationFilter narrows the table to what the translator is looking for
// without touching the rows themselves.

#include "catalogue/ProgramSession.h"

#include <QAbstractTableModel>
#include <QSortFilterProxyModel>
#include <QString>
#include <QStringList>

#include <string>
#include <vector>

class QUndoStack;

class TranslationModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { SourceColumn, TranslationColumn, UsesColumn, UseColumn, PlaceColumn, ColumnCount };
    enum Role {
        RawTextRole = Qt::UserRole + 1,  // the source or translation as it is, line breaks included
        ProblemRole,                     // the row's cl::TranslationProblem, as int
        StateRole,                       // the row's cl::catalogue::EntryState, as int
    };

    explicit TranslationModel(QObject* parent = nullptr);
    ~TranslationModel() override;

    // Shows the session's program, which the caller owns and keeps for as long as the model shows
    // it; forgets the undo history.
    void Reset(cl::catalogue::ProgramSession& session);
    const cl::catalogue::ProgramSession& Session() const { return *session_; }
    cl::catalogue::ProgramSession& Session() { return *session_; }
    const cl::catalogue::ProgramFacts& Facts() const { return session_->Facts(); }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // An edit of the translation column, undoable; the text comes with line breaks shown as marks.
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

    QString Source(int row) const;
    QString Translation(int row) const;
    cl::TranslationProblem Problem(int row) const;
    cl::catalogue::EntryState State(int row) const;
    // The text the translation was made for, when the program's text changed since (empty
    // otherwise).
    QString PreviousSource(int row) const;
    // Whether the row belongs in the table: texts of the code always, annotation values only
    // when they are asked for; a text the program reads (withheld) only once it has a
    // translation all the same.
    bool Included(int row, bool annotations) const;
    // Whether the text is offered for translation: what people read. A withheld one is shown by
    // the filter 未提供 and asks before it is translated.
    bool Offered(int row) const;
    // Where the text goes, as the catalogue's note says it: its use and what consumes it; for a
    // withheld text why (every place that forbids a change); for an offered one the classes
    // where it stays as it is.
    QString UseNote(int row) const;
    // Every place that uses the row's text, "class — method" (or what kind of place it is).
    QStringList Places(int row) const;

    // Undoable edit of one row. `typing` edits of the same row in a row make one undo step.
    void SetTranslation(int row, const QString& text, bool typing = false);
    // Undoable: the translation needing review is right after all.
    void Accept(int row);
    QUndoStack* UndoStack() const { return undo_; }

    // Fills translations from a catalogue read from `path`, as one undo step.
    cl::catalogue::ImportSummary Import(const cl::catalogue::PoCatalogue& catalogue, const std::string& path);
    // Puts back the translations of a recovery file (which lists every entry as it stood, the
    // untranslated ones too), as one undo step: unlike an import, a translation emptied or
    // accepted since the catalogue was saved comes back emptied or accepted. Gives the number of
    // rows changed.
    int Restore(const cl::catalogue::PoCatalogue& recovered);

    int TranslatedCount(bool annotations) const;
    int TotalCount(bool annotations) const;
    int ProblemCount(bool annotations) const;
    int ReviewCount(bool annotations) const;

    // Line breaks and tabs as visible marks, and back.
    static QString Visible(const QString& text);
    static QString FromVisible(const QString& text);
    // The reason a problem keeps a translation out of the program, as a sentence.
    static QString ProblemText(cl::TranslationProblem problem);

    // For the undo commands: changes a row without an undo step.
    void Store(int row, const QString& text);
    void StoreValue(int row, const cl::catalogue::EntryValue& value);

signals:
    void CountsChanged();

private:
    struct Row {
        QString source;
        QString translation;
    };
    QString Location(int row) const;
    QString PlaceText(const cl::catalogue::SessionPlace& place, bool shortName) const;
    void Tally(int row, int sign);
    void Refresh(int row);

    // The session shown; an empty one of the model's own until Reset gives another.
    cl::catalogue::ProgramSession empty_;
    cl::catalogue::ProgramSession* session_ = &empty_;
    std::vector<Row> rows_;
    // [0]: annotation values only, [1]: texts of the code.
    int total_[2] = {0, 0};
    int translated_[2] = {0, 0};
    int problems_[2] = {0, 0};
    int review_[2] = {0, 0};
    QUndoStack* undo_ = nullptr;
};

// Search box, state filter and annotation switch over a TranslationModel, and the order the
// table is sorted in (none: the order in which the program holds its texts). Rows are judged and
// placed only when a filter or the order changes, so that a row being edited neither vanishes
// nor moves under the cursor.
class TranslationFilter : public QSortFilterProxyModel {
    Q_OBJECT
public:
    // In the order of the window's choices.
    enum class State { All, Untranslated, Translated, Problem, NeedsReview, Withheld };

    explicit TranslationFilter(QObject* parent = nullptr);
    void setSourceModel(QAbstractItemModel* model) override;

    void SetSearch(const QString& text);
    void SetState(State state);
    void SetAnnotations(bool shown);
    bool Annotations() const { return annotations_; }

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;
    // Texts by their characters, case set aside first; the number of places as a number; the
    // use as a note ranks it (usage::NoteRank: 格式, 界面, 消息, 日志, then what the program
    // reads). Equal rows keep the program's order.
    bool lessThan(const QModelIndex& left, const QModelIndex& right) const override;

private:
    // Judges every row again, and puts the rows let in where the order wants them.
    void Refilter();

    TranslationModel* translations_ = nullptr;
    QString search_;
    State state_ = State::All;
    bool annotations_ = false;
};

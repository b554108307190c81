#pragma once
// The translation window's table: one row per text of the opened program (its source, the
// translation being written, how many places use it and where), the live check of each
// translation, and edits that go through an undo stack. TranslationFilter narrows the table
// to what the translator is looking for without touching the rows themselves.

#include "catalogue/Workbench.h"

#include <QAbstractTableModel>
#include <QSortFilterProxyModel>
#include <QString>
#include <QStringList>

#include <string>
#include <unordered_map>
#include <vector>

class QUndoStack;

class TranslationModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { SourceColumn, TranslationColumn, UsesColumn, PlaceColumn, ColumnCount };
    enum Role {
        RawTextRole = Qt::UserRole + 1,  // the source or translation as it is, line breaks included
        ProblemRole,                     // the row's cl::catalogue::TranslationProblem, as int
    };

    // What the last bulk fill found in a catalogue.
    struct FillCounts {
        int filled = 0;    // translated entries whose source text is in the program
        int notFound = 0;  // translated entries the program does not hold
        int fuzzy = 0;     // marked fuzzy, so left out
    };

    explicit TranslationModel(QObject* parent = nullptr);
    ~TranslationModel() override;

    // Shows another program; forgets the translations and the undo history.
    void Reset(cl::catalogue::WorkProgram program);
    const cl::catalogue::WorkProgram& Program() const { return program_; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // An edit of the translation column, undoable; the text comes with line breaks shown as marks.
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

    QString Source(int row) const;
    QString Translation(int row) const;
    cl::catalogue::TranslationProblem Problem(int row) const;
    // Whether the row belongs in the table: texts of the code always, annotation values only
    // when they are asked for.
    bool Included(int row, bool annotations) const;
    // Every place that uses the row's text, "class — method" (or what kind of place it is).
    QStringList Places(int row) const;

    // Undoable edit of one row. `typing` edits of the same row in a row make one undo step.
    void SetTranslation(int row, const QString& text, bool typing = false);
    QUndoStack* UndoStack() const { return undo_; }

    // Fills translations from a catalogue: as one undo step, or (`undoable` false, for the
    // catalogue found beside a program as it opens) as the starting state.
    FillCounts Fill(const std::vector<cl::catalogue::PoMessage>& messages, bool undoable);

    int TranslatedCount(bool annotations) const;
    int TotalCount(bool annotations) const;
    int ProblemCount(bool annotations) const;

    // What "保存" writes: every included entry, and any other one that has a translation.
    std::vector<cl::catalogue::PoEntry> Catalogue(bool annotations) const;
    // What "生成…" applies: included entries with a translation that passes the check.
    std::vector<cl::catalogue::PoMessage> MessagesToApply(bool annotations) const;

    // Line breaks and tabs as visible marks, and back.
    static QString Visible(const QString& text);
    static QString FromVisible(const QString& text);
    // The reason a problem keeps a translation out of the program, as a sentence.
    static QString ProblemText(cl::catalogue::TranslationProblem problem);

    // Sets the row's translation without an undo step; undo commands use it.
    void Store(int row, const QString& text);

signals:
    void CountsChanged();

private:
    struct Row {
        QString source;
        QString translation;
        cl::catalogue::TranslationProblem problem = cl::catalogue::TranslationProblem::None;
    };
    QString Location(int row) const;
    QString PlaceText(const cl::catalogue::WorkPlace& place, bool shortName) const;
    void Tally(const Row& row, bool inCode, int sign);

    cl::catalogue::WorkProgram program_;
    std::vector<Row> rows_;
    std::unordered_map<std::string, int> rowOf_;
    // [0]: annotation values only, [1]: texts of the code.
    int total_[2] = {0, 0};
    int translated_[2] = {0, 0};
    int problems_[2] = {0, 0};
    QUndoStack* undo_ = nullptr;
};

// Search box, state filter and annotation switch over a TranslationModel. Rows are judged
// only when a filter changes, so that a row being edited does not vanish under the cursor.
class TranslationFilter : public QSortFilterProxyModel {
    Q_OBJECT
public:
    enum class State { All, Untranslated, Translated, Problem };

    explicit TranslationFilter(QObject* parent = nullptr);
    void setSourceModel(QAbstractItemModel* model) override;

    void SetSearch(const QString& text);
    void SetState(State state);
    void SetAnnotations(bool shown);
    bool Annotations() const { return annotations_; }
    State CurrentState() const { return state_; }

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;

private:
    TranslationModel* translations_ = nullptr;
    QString search_;
    State state_ = State::All;
    bool annotations_ = false;
};

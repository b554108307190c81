#include "TranslationModel.h"

#include "CatalogueNotes.h"
#include "ProgramText.h"
#include "UsageText.h"

#include <QColor>
#include <QUndoCommand>
#include <QUndoStack>

#include <algorithm>

namespace cat = cl::catalogue;

namespace {

const QChar kLineFeedMark(0x21B5);        // ↵
const QChar kCarriageReturnMark(0x240D);  // ␍
const QChar kTabMark(0x21E5);             // ⇥
// Programs carry texts of tens of thousands of characters (data tables, suffix lists); laying
// out a whole one for a cell that shows a few dozen would make each repaint crawl.
constexpr qsizetype kCellChars = 400;

QString CellText(const QString& text)
{
    if (text.size() <= kCellChars)
        return TranslationModel::Visible(text);
    return TranslationModel::Visible(text.left(kCellChars)) + QChar(0x2026);
}

// One edit of one row's translation. Typing in the detail editor makes many edits of the same
// row; they merge into one step.
class TranslationEdit : public QUndoCommand {
public:
    TranslationEdit(TranslationModel* model, int row, QString before, QString after, bool typing)
        : model_(model), row_(row), before_(std::move(before)), after_(std::move(after)), typing_(typing)
    {
        setText(QStringLiteral("编辑译文"));
    }
    void undo() override { model_->Store(row_, before_); }
    void redo() override { model_->Store(row_, after_); }
    int id() const override { return typing_ ? 1 : -1; }
    bool mergeWith(const QUndoCommand* other) override
    {
        const auto* next = static_cast<const TranslationEdit*>(other);
        if (next->row_ != row_ || !next->typing_)
            return false;
        after_ = next->after_;
        return true;
    }

private:
    TranslationModel* model_;
    int row_;
    QString before_;
    QString after_;
    bool typing_;
};

// Whole values of rows, before and after: accepting a translation, or a whole import.
class ValuesEdit : public QUndoCommand {
public:
    using Values = std::vector<std::pair<int, cl::catalogue::EntryValue>>;
    ValuesEdit(TranslationModel* model, const QString& name, Values before, Values after)
        : model_(model), before_(std::move(before)), after_(std::move(after))
    {
        setText(name);
    }
    void undo() override
    {
        for (const auto& [row, value] : before_)
            model_->StoreValue(row, value);
    }
    void redo() override
    {
        // The first time, the change is already made: the command only records it.
        if (std::exchange(done_, false))
            return;
        for (const auto& [row, value] : after_)
            model_->StoreValue(row, value);
    }

private:
    TranslationModel* model_;
    Values before_;
    Values after_;
    bool done_ = true;
};

QString FromUtf8(const std::string& text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QString SimpleName(const std::string& binaryName)
{
    const QString name = FromUtf8(binaryName);
    return name.mid(name.lastIndexOf(u'.') + 1);
}

}  // namespace

TranslationModel::TranslationModel(QObject* parent) : QAbstractTableModel(parent), undo_(new QUndoStack(this))
{
}

TranslationModel::~TranslationModel() = default;

void TranslationModel::Reset(cat::ProgramSession& session)
{
    beginResetModel();
    undo_->clear();
    session_ = &session;
    const std::vector<cat::SessionEntry>& entries = session_->Entries();
    rows_.clear();
    rows_.resize(entries.size());
    for (int k : {0, 1})
        total_[k] = translated_[k] = problems_[k] = review_[k] = 0;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        rows_[i].source = FromUtf8(entries[i].msgid);
        rows_[i].translation = FromUtf8(entries[i].translation);
        Tally(static_cast<int>(i), +1);
    }
    endResetModel();
    emit CountsChanged();
}

int TranslationModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int TranslationModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant TranslationModel::data(const QModelIndex& index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const int r = index.row();
    const Row& row = rows_[static_cast<std::size_t>(r)];
    const int column = index.column();
    switch (role) {
        case Qt::DisplayRole:
            switch (column) {
                case SourceColumn: return CellText(row.source);
                case TranslationColumn: return CellText(row.translation);
                case UsesColumn: return static_cast<int>(session_->Entries()[static_cast<std::size_t>(r)].places.size());
                case UseColumn: return QString::fromStdString(cltext::UseName(session_->Entries()[static_cast<std::size_t>(r)].use));
                case PlaceColumn: return Location(r);
            }
            break;
        case Qt::EditRole:
            if (column == TranslationColumn)
                return Visible(row.translation);
            break;
        case RawTextRole:
            if (column == SourceColumn)
                return row.source;
            if (column == TranslationColumn)
                return row.translation;
            break;
        case ProblemRole: return static_cast<int>(Problem(r));
        case StateRole: return static_cast<int>(State(r));
        case Qt::ForegroundRole:
            if (column == TranslationColumn && Problem(r) != cl::TranslationProblem::None)
                return QColor(200, 0, 0);
            if (column == TranslationColumn && State(r) == cat::EntryState::NeedsReview)
                return QColor(160, 100, 0);
            break;
        case Qt::BackgroundRole:
            if (column == TranslationColumn && Problem(r) != cl::TranslationProblem::None)
                return QColor(255, 228, 228);
            if (column == TranslationColumn && State(r) == cat::EntryState::NeedsReview)
                return QColor(255, 244, 214);
            break;
        case Qt::ToolTipRole:
            if (column == TranslationColumn && Problem(r) != cl::TranslationProblem::None)
                return ProblemText(Problem(r));
            if (column == TranslationColumn && State(r) == cat::EntryState::NeedsReview)
                return QStringLiteral("需要检查：这条译文被标为模糊，生成程序时不会写入");
            if (column == PlaceColumn)
                return Places(r).mid(0, 30).join(u'\n');
            if (column == UseColumn)
                return UseNote(r);
            break;
        case Qt::TextAlignmentRole:
            if (column == UsesColumn)
                return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
            break;
    }
    return {};
}

QVariant TranslationModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
        case SourceColumn: return QStringLiteral("原文");
        case TranslationColumn: return QStringLiteral("译文");
        case UsesColumn: return QStringLiteral("次数");
        case UseColumn: return QStringLiteral("用途");
        case PlaceColumn: return QStringLiteral("位置");
    }
    return {};
}

Qt::ItemFlags TranslationModel::flags(const QModelIndex& index) const
{
    Qt::ItemFlags flags = QAbstractTableModel::flags(index);
    // A withheld text is first translated in the detail pane, which asks before it does.
    if (index.isValid() && index.column() == TranslationColumn && (Offered(index.row()) || !Translation(index.row()).isEmpty()))
        flags |= Qt::ItemIsEditable;
    return flags;
}

bool TranslationModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid) ||
        index.column() != TranslationColumn || role != Qt::EditRole)
        return false;
    SetTranslation(index.row(), FromVisible(value.toString()));
    return true;
}

QString TranslationModel::Source(int row) const
{
    return rows_.at(static_cast<std::size_t>(row)).source;
}

QString TranslationModel::Translation(int row) const
{
    return rows_.at(static_cast<std::size_t>(row)).translation;
}

cl::TranslationProblem TranslationModel::Problem(int row) const
{
    return session_->Entries().at(static_cast<std::size_t>(row)).problem;
}

cat::EntryState TranslationModel::State(int row) const
{
    return session_->Entries().at(static_cast<std::size_t>(row)).State();
}

QString TranslationModel::PreviousSource(int row) const
{
    const cat::SessionEntry& entry = session_->Entries().at(static_cast<std::size_t>(row));
    return entry.hasPreviousMsgid && entry.fuzzy ? FromUtf8(entry.previousMsgid) : QString();
}

bool TranslationModel::Included(int row, bool annotations) const
{
    const cat::SessionEntry& entry = session_->Entries()[static_cast<std::size_t>(row)];
    return entry.Included(annotations) && (entry.offered || !entry.translation.empty());
}

bool TranslationModel::Offered(int row) const
{
    return session_->Entries().at(static_cast<std::size_t>(row)).offered;
}

QString TranslationModel::UseNote(int row) const
{
    const cat::SessionEntry& entry = session_->Entries().at(static_cast<std::size_t>(row));
    QStringList lines;
    for (const std::string& line :
         cltext::Notes().UseNote(entry.use, entry.consumer, entry.uses, entry.offered, entry.forbidding,
                                 session_->KeptIn(entry)))
        lines.append(QString::fromStdString(line));
    return lines.join(u'\n');
}

QString TranslationModel::PlaceText(const cat::SessionPlace& place, bool shortName) const
{
    if (place.kind == cat::PlaceKind::Bundle) {
        // The file and the key the program looks the text up by.
        const QString file = FromUtf8(place.file);
        const QString key = Visible(FromUtf8(place.key));
        if (shortName)
            return file.mid(file.lastIndexOf(u'/') + 1) + u':' + key;
        return file + QStringLiteral(" — ") + key;
    }
    const std::string& binary = session_->Facts().classNames.at(place.classIndex);
    QString text = shortName ? SimpleName(binary) : FromUtf8(binary);
    if (place.kind == cat::PlaceKind::Annotation)
        return text + QStringLiteral("（注解）");
    if (place.methods.empty())
        return text;
    if (shortName)
        return text + u'.' + FromUtf8(place.methods.front());
    QStringList methods;
    for (const std::string& method : place.methods)
        methods.append(FromUtf8(method));
    return text + QStringLiteral(" — ") + methods.join(QStringLiteral("、"));
}

QString TranslationModel::Location(int row) const
{
    const std::vector<cat::SessionPlace>& places = session_->Entries()[static_cast<std::size_t>(row)].places;
    if (places.empty())
        return {};
    QString text = PlaceText(places.front(), true);
    if (places.size() > 1)
        text += QStringLiteral(" +%1").arg(places.size() - 1);
    return text;
}

QStringList TranslationModel::Places(int row) const
{
    QStringList list;
    for (const cat::SessionPlace& place : session_->Entries().at(static_cast<std::size_t>(row)).places)
        list.append(PlaceText(place, false));
    return list;
}

void TranslationModel::SetTranslation(int row, const QString& text, bool typing)
{
    if (row < 0 || row >= rowCount() || rows_[static_cast<std::size_t>(row)].translation == text)
        return;
    undo_->push(new TranslationEdit(this, row, rows_[static_cast<std::size_t>(row)].translation, text, typing));
}

void TranslationModel::Accept(int row)
{
    if (row < 0 || row >= rowCount() || State(row) != cat::EntryState::NeedsReview)
        return;
    cat::EntryValue before = session_->ValueOf(static_cast<std::size_t>(row));
    cat::EntryValue after = before;
    after.fuzzy = false;
    StoreValue(row, after);
    undo_->push(new ValuesEdit(this, QStringLiteral("接受译文"), {{row, before}}, {{row, after}}));
}

void TranslationModel::Tally(int row, int sign)
{
    const cat::SessionEntry& entry = session_->Entries()[static_cast<std::size_t>(row)];
    const int k = entry.inCode ? 1 : 0;
    // Counted are the rows the table shows by default: a withheld text once it is translated.
    if (!entry.offered && entry.translation.empty())
        return;
    total_[k] += sign;
    switch (entry.State()) {
        case cat::EntryState::Translated: translated_[k] += sign; break;
        case cat::EntryState::NeedsReview: review_[k] += sign; break;
        case cat::EntryState::Untranslated: break;
    }
    if (entry.problem != cl::TranslationProblem::None)
        problems_[k] += sign;
}

void TranslationModel::Refresh(int row)
{
    rows_[static_cast<std::size_t>(row)].translation = FromUtf8(session_->Entries()[static_cast<std::size_t>(row)].translation);
    emit dataChanged(index(row, SourceColumn), index(row, ColumnCount - 1));
    emit CountsChanged();
}

void TranslationModel::Store(int row, const QString& text)
{
    Tally(row, -1);
    session_->SetTranslation(static_cast<std::size_t>(row), text.toStdString());
    Tally(row, +1);
    Refresh(row);
}

void TranslationModel::StoreValue(int row, const cat::EntryValue& value)
{
    Tally(row, -1);
    session_->Restore(static_cast<std::size_t>(row), value);
    Tally(row, +1);
    Refresh(row);
}

cat::ImportSummary TranslationModel::Import(const cat::PoCatalogue& catalogue, const std::string& path)
{
    // Counted out and in again: the import changes rows wholesale.
    for (int r = 0; r < rowCount(); ++r)
        Tally(r, -1);
    cat::ImportSummary summary = session_->ImportMessages(catalogue, cat::ImportMode::Merge, path);
    for (int r = 0; r < rowCount(); ++r)
        Tally(r, +1);
    if (summary.changed.empty())
        return summary;
    ValuesEdit::Values before;
    ValuesEdit::Values after;
    for (const auto& [index, value] : summary.changed) {
        const int row = static_cast<int>(index);
        before.emplace_back(row, value);
        after.emplace_back(row, session_->ValueOf(index));
        rows_[index].translation = FromUtf8(session_->Entries()[index].translation);
        emit dataChanged(this->index(row, SourceColumn), this->index(row, ColumnCount - 1));
    }
    undo_->push(new ValuesEdit(this, QStringLiteral("导入译文"), std::move(before), std::move(after)));
    emit CountsChanged();
    return summary;
}

int TranslationModel::Restore(const cat::PoCatalogue& recovered)
{
    ValuesEdit::Values before;
    ValuesEdit::Values after;
    for (const cat::PoMessage& message : recovered.messages) {
        if (message.obsolete || message.plural)
            continue;
        const std::optional<std::size_t> found =
            session_->Find(message.hasContext ? message.context : std::string(), message.msgid);
        if (!found)
            continue;
        const cat::EntryValue now = session_->ValueOf(*found);
        const cat::EntryValue value{message.msgstr, message.fuzzy};
        if (now.translation == value.translation && now.fuzzy == value.fuzzy)
            continue;
        const int row = static_cast<int>(*found);
        before.emplace_back(row, now);
        after.emplace_back(row, value);
        StoreValue(row, value);
    }
    if (after.empty())
        return 0;
    const int changed = static_cast<int>(after.size());
    undo_->push(new ValuesEdit(this, QStringLiteral("恢复译文"), std::move(before), std::move(after)));
    return changed;
}

int TranslationModel::TranslatedCount(bool annotations) const
{
    return translated_[1] + (annotations ? translated_[0] : 0);
}

int TranslationModel::TotalCount(bool annotations) const
{
    return total_[1] + (annotations ? total_[0] : 0);
}

int TranslationModel::ProblemCount(bool annotations) const
{
    return problems_[1] + (annotations ? problems_[0] : 0);
}

int TranslationModel::ReviewCount(bool annotations) const
{
    return review_[1] + (annotations ? review_[0] : 0);
}

// Other control characters (tables of them are common in libraries) as their control pictures.
QChar ControlPicture(QChar c)
{
    return QChar(static_cast<char16_t>(0x2400 + c.unicode()));
}

QString TranslationModel::Visible(const QString& text)
{
    const bool plain = std::none_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x20; });
    if (plain)
        return text;
    QString shown = text;
    for (QChar& c : shown) {
        if (c == u'\n')
            c = kLineFeedMark;
        else if (c == u'\r')
            c = kCarriageReturnMark;
        else if (c == u'\t')
            c = kTabMark;
        else if (c.unicode() < 0x20)
            c = ControlPicture(c);
    }
    return shown;
}

QString TranslationModel::FromVisible(const QString& text)
{
    QString plain = text;
    for (QChar& c : plain) {
        if (c == kLineFeedMark)
            c = u'\n';
        else if (c == kCarriageReturnMark)
            c = u'\r';
        else if (c == kTabMark)
            c = u'\t';
        else if (c.unicode() >= 0x2400 && c.unicode() < 0x2420 && c.unicode() != 0x240A && c.unicode() != 0x240D &&
                 c.unicode() != 0x2409)
            c = QChar(static_cast<char16_t>(c.unicode() - 0x2400));
    }
    return plain;
}

QString TranslationModel::ProblemText(cl::TranslationProblem problem)
{
    return QString::fromStdString(cltext::TranslationProblemText(problem));
}

TranslationFilter::TranslationFilter(QObject* parent) : QSortFilterProxyModel(parent)
{
    setDynamicSortFilter(false);
}

void TranslationFilter::setSourceModel(QAbstractItemModel* model)
{
    translations_ = qobject_cast<TranslationModel*>(model);
    QSortFilterProxyModel::setSourceModel(model);
}

void TranslationFilter::SetSearch(const QString& text)
{
    if (text == search_)
        return;
    search_ = text;
    Refilter();
}

void TranslationFilter::SetState(State state)
{
    if (state == state_)
        return;
    state_ = state;
    Refilter();
}

void TranslationFilter::SetAnnotations(bool shown)
{
    if (shown == annotations_)
        return;
    annotations_ = shown;
    Refilter();
}

void TranslationFilter::Refilter()
{
    invalidateRowsFilter();
    // Without dynamic sorting the rows a filter lets in come in the program's order, whatever
    // order the table is in.
    if (sortColumn() >= 0)
        sort(sortColumn(), sortOrder());
}

bool TranslationFilter::lessThan(const QModelIndex& left, const QModelIndex& right) const
{
    if (translations_ == nullptr || left.column() != right.column())
        return QSortFilterProxyModel::lessThan(left, right);
    switch (left.column()) {
        case TranslationModel::UsesColumn: return left.data().toInt() < right.data().toInt();
        case TranslationModel::UseColumn: {
            // As a note lists them, what people read first (格式, 界面, 消息, 日志), not by the
            // characters of the words, which would put 日志 before 消息 and 界面.
            const auto& entries = translations_->Session().Entries();
            return cl::usage::NoteRank(entries.at(static_cast<std::size_t>(left.row())).use) <
                   cl::usage::NoteRank(entries.at(static_cast<std::size_t>(right.row())).use);
        }
        case TranslationModel::SourceColumn:
        case TranslationModel::TranslationColumn:
        case TranslationModel::PlaceColumn: {
            const int role =
                left.column() == TranslationModel::PlaceColumn ? int(Qt::DisplayRole) : int(TranslationModel::RawTextRole);
            const QString a = left.data(role).toString();
            const QString b = right.data(role).toString();
            if (const int folded = a.compare(b, Qt::CaseInsensitive); folded != 0)
                return folded < 0;
            return a < b;
        }
    }
    return QSortFilterProxyModel::lessThan(left, right);
}

bool TranslationFilter::filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const
{
    if (translations_ == nullptr || sourceParent.isValid())
        return true;
    if (state_ == State::Withheld) {
        if (translations_->Offered(sourceRow) || !translations_->Session().Entries()[static_cast<std::size_t>(sourceRow)].Included(annotations_))
            return false;
    } else if (!translations_->Included(sourceRow, annotations_)) {
        return false;
    }
    const QString translation = translations_->Translation(sourceRow);
    switch (state_) {
        case State::All: break;
        case State::Withheld: break;
        case State::Untranslated:
            if (!translation.isEmpty())
                return false;
            break;
        case State::Translated:
            if (translations_->State(sourceRow) != cl::catalogue::EntryState::Translated)
                return false;
            break;
        case State::Problem:
            if (translations_->Problem(sourceRow) == cl::TranslationProblem::None)
                return false;
            break;
        case State::NeedsReview:
            if (translations_->State(sourceRow) != cl::catalogue::EntryState::NeedsReview)
                return false;
            break;
    }
    if (search_.isEmpty())
        return true;
    return translations_->Source(sourceRow).contains(search_, Qt::CaseInsensitive) ||
           translation.contains(search_, Qt::CaseInsensitive);
}

#include "TranslationModel.h"

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

TranslationModel::TranslationModel(QObject* parent) : QAbstractTableModel(parent), undo_(new QUndoStack(this)) {}

TranslationModel::~TranslationModel() = default;

void TranslationModel::Reset(cat::WorkProgram program)
{
    beginResetModel();
    undo_->clear();
    program_ = std::move(program);
    rows_.clear();
    rows_.resize(program_.entries.size());
    rowOf_.clear();
    rowOf_.reserve(program_.entries.size());
    for (int k : {0, 1})
        total_[k] = translated_[k] = problems_[k] = 0;
    for (std::size_t i = 0; i < program_.entries.size(); ++i) {
        const cat::WorkEntry& entry = program_.entries[i];
        rows_[i].source = FromUtf8(entry.po.msgid);
        rowOf_.emplace(entry.po.msgid, static_cast<int>(i));
        ++total_[entry.inCode ? 1 : 0];
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
                case UsesColumn: return static_cast<int>(program_.entries[static_cast<std::size_t>(r)].places.size());
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
        case ProblemRole: return static_cast<int>(row.problem);
        case Qt::ForegroundRole:
            if (row.problem != cat::TranslationProblem::None && column == TranslationColumn)
                return QColor(200, 0, 0);
            break;
        case Qt::BackgroundRole:
            if (row.problem != cat::TranslationProblem::None && column == TranslationColumn)
                return QColor(255, 228, 228);
            break;
        case Qt::ToolTipRole:
            if (column == TranslationColumn && row.problem != cat::TranslationProblem::None)
                return ProblemText(row.problem);
            if (column == PlaceColumn)
                return Places(r).mid(0, 30).join(u'\n');
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
        case PlaceColumn: return QStringLiteral("位置");
    }
    return {};
}

Qt::ItemFlags TranslationModel::flags(const QModelIndex& index) const
{
    Qt::ItemFlags flags = QAbstractTableModel::flags(index);
    if (index.isValid() && index.column() == TranslationColumn)
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

cat::TranslationProblem TranslationModel::Problem(int row) const
{
    return rows_.at(static_cast<std::size_t>(row)).problem;
}

bool TranslationModel::Included(int row, bool annotations) const
{
    return annotations || program_.entries[static_cast<std::size_t>(row)].inCode;
}

QString TranslationModel::PlaceText(const cat::WorkPlace& place, bool shortName) const
{
    const std::string& binary = program_.classNames.at(place.classIndex);
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
    const std::vector<cat::WorkPlace>& places = program_.entries[static_cast<std::size_t>(row)].places;
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
    for (const cat::WorkPlace& place : program_.entries.at(static_cast<std::size_t>(row)).places)
        list.append(PlaceText(place, false));
    return list;
}

void TranslationModel::SetTranslation(int row, const QString& text, bool typing)
{
    if (row < 0 || row >= rowCount() || rows_[static_cast<std::size_t>(row)].translation == text)
        return;
    undo_->push(new TranslationEdit(this, row, rows_[static_cast<std::size_t>(row)].translation, text, typing));
}

void TranslationModel::Tally(const Row& row, bool inCode, int sign)
{
    const int k = inCode ? 1 : 0;
    if (!row.translation.isEmpty())
        translated_[k] += sign;
    if (row.problem != cat::TranslationProblem::None)
        problems_[k] += sign;
}

void TranslationModel::Store(int row, const QString& text)
{
    Row& stored = rows_.at(static_cast<std::size_t>(row));
    const cat::WorkEntry& entry = program_.entries[static_cast<std::size_t>(row)];
    Tally(stored, entry.inCode, -1);
    stored.translation = text;
    stored.problem = cat::CheckTranslation(entry, text.toStdString());
    Tally(stored, entry.inCode, +1);
    emit dataChanged(index(row, SourceColumn), index(row, PlaceColumn));
    emit CountsChanged();
}

TranslationModel::FillCounts TranslationModel::Fill(const std::vector<cat::PoMessage>& messages, bool undoable)
{
    FillCounts counts;
    if (undoable)
        undo_->beginMacro(QStringLiteral("导入译文"));
    for (const cat::PoMessage& message : messages) {
        if (message.obsolete || message.plural || message.msgstr.empty())
            continue;
        if (message.fuzzy) {
            ++counts.fuzzy;
            continue;
        }
        const auto found = rowOf_.find(message.msgid);
        if (found == rowOf_.end()) {
            ++counts.notFound;
            continue;
        }
        ++counts.filled;
        const QString text = FromUtf8(message.msgstr);
        if (undoable)
            SetTranslation(found->second, text);
        else if (rows_[static_cast<std::size_t>(found->second)].translation != text)
            Store(found->second, text);
    }
    if (undoable)
        undo_->endMacro();
    return counts;
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

std::vector<cat::PoEntry> TranslationModel::Catalogue(bool annotations) const
{
    std::vector<cat::PoEntry> entries;
    entries.reserve(rows_.size());
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        if (!Included(static_cast<int>(i), annotations) && rows_[i].translation.isEmpty())
            continue;
        cat::PoEntry entry = program_.entries[i].po;
        entry.msgstr = rows_[i].translation.toStdString();
        entries.push_back(std::move(entry));
    }
    return entries;
}

std::vector<cat::PoMessage> TranslationModel::MessagesToApply(bool annotations) const
{
    std::vector<cat::PoMessage> messages;
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        const Row& row = rows_[i];
        if (row.translation.isEmpty() || row.problem != cat::TranslationProblem::None ||
            !Included(static_cast<int>(i), annotations))
            continue;
        cat::PoMessage message;
        message.msgid = program_.entries[i].po.msgid;
        message.msgstr = row.translation.toStdString();
        messages.push_back(std::move(message));
    }
    return messages;
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

QString TranslationModel::ProblemText(cat::TranslationProblem problem)
{
    using P = cat::TranslationProblem;
    switch (problem) {
        case P::None: return {};
        case P::MissingSlot: return QStringLiteral("译文缺少占位符（原文的每个 {n} 都须保留）");
        case P::ExtraSlot: return QStringLiteral("译文有原文没有的或重复的占位符");
        case P::SlotOutOfOrder: return QStringLiteral("译文的占位符顺序与原文不同（须为 {0}、{1}…依次出现）");
        case P::StrayBrace: return QStringLiteral("译文中有单独的 { 或 }（文字中的花括号须写成 {{ 或 }}）");
        case P::ControlChar: return QStringLiteral("译文含有控制字符 U+0001 或 U+0002");
        case P::TooLong: return QStringLiteral("译文写入类文件后超过 65535 字节");
    }
    return {};
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
    invalidateRowsFilter();
}

void TranslationFilter::SetState(State state)
{
    if (state == state_)
        return;
    state_ = state;
    invalidateRowsFilter();
}

void TranslationFilter::SetAnnotations(bool shown)
{
    if (shown == annotations_)
        return;
    annotations_ = shown;
    invalidateRowsFilter();
}

bool TranslationFilter::filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const
{
    if (translations_ == nullptr || sourceParent.isValid())
        return true;
    if (!translations_->Included(sourceRow, annotations_))
        return false;
    const QString translation = translations_->Translation(sourceRow);
    switch (state_) {
        case State::All: break;
        case State::Untranslated:
            if (!translation.isEmpty())
                return false;
            break;
        case State::Translated:
            if (translation.isEmpty())
                return false;
            break;
        case State::Problem:
            if (translations_->Problem(sourceRow) == cl::catalogue::TranslationProblem::None)
                return false;
            break;
    }
    if (search_.isEmpty())
        return true;
    return translations_->Source(sourceRow).contains(search_, Qt::CaseInsensitive) ||
           translation.contains(search_, Qt::CaseInsensitive);
}

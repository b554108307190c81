#include "StringListModel.h"

#include "AnsiText.h"
#include "RoleText.h"
#include "UsageText.h"

#include <QBrush>

StringListModel::StringListModel(QObject* parent) : QAbstractTableModel(parent) {}

StringListModel::StringListModel(cl::StringList& list, QObject* parent) : QAbstractTableModel(parent), list_(&list) {}

int StringListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(list_->rows.size());
}

int StringListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant StringListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= ColumnCount)
        return {};
    const cl::StringRow& row = list_->rows[static_cast<size_t>(index.row())];
    switch (role) {
        case Qt::DisplayRole:
            switch (index.column()) {
                case CaptionColumn: return FromAnsi(row.Caption());
                case ByteLengthColumn: return FromAnsi(row.ByteLengthText());
                case StatusColumn: return FromAnsi(row.StatusText());
                case RoleColumn: {
                    const cl::classfile::Role* role = RoleOf(index.row());
                    return role ? QString::fromStdString(cltext::RoleName(*role)) : QString();
                }
            }
            return {};
        case Qt::ForegroundRole:
            // Selected rows are drawn white on the highlight by the view's palette, which takes
            // precedence over this colour.
            if (row.status == cl::RowStatus::Suspicious)
                return QBrush(SuspiciousColor());
            if (const cl::classfile::Role* role = RoleOf(index.row()); role && *role != cl::classfile::Role::Literal)
                return QBrush(UntranslatableColor());
            return {};
        case Qt::ToolTipRole:
            // A literal row says where its text goes, which its role cannot.
            if (index.column() == RoleColumn && uses_ != nullptr && static_cast<size_t>(index.row()) < uses_->size()) {
                if (const auto& use = (*uses_)[static_cast<size_t>(index.row())])
                    return QString::fromStdString(cltext::UseLine(use->use, use->consumer));
            }
            return {};
        default: return {};
    }
}

QVariant StringListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
        case CaptionColumn: return QStringLiteral("字符串");
        case ByteLengthColumn: return QStringLiteral("长度（字节）");
        case StatusColumn: return QStringLiteral("状态");
        case RoleColumn: return QStringLiteral("类型");
    }
    return {};
}

Qt::ItemFlags StringListModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

const cl::classfile::Role* StringListModel::RoleOf(int row) const
{
    if (roles_ == nullptr || row < 0 || static_cast<size_t>(row) >= roles_->size())
        return nullptr;
    return &(*roles_)[static_cast<size_t>(row)];
}

void StringListModel::RowChanged(int row)
{
    if (rowCount() == 0)
        return;
    const QList<int> roles{Qt::DisplayRole};
    if (row < 0 || row >= rowCount())
        emit dataChanged(index(0, 0), index(rowCount() - 1, ColumnCount - 1), roles);
    else
        emit dataChanged(index(row, 0), index(row, ColumnCount - 1), roles);
}

#pragma once
// StringListModel: shows the engine's string list in lv1, one row per found string, with the
// columns caption, byte length and status. It shows a list it owns, or the rows of the open
// document; captions become QStrings only when a row is drawn, so a list of a million rows
// costs nothing until it is looked at.

#include "scan/StringList.h"
#include "classfile/Roles.h"

#include "document/Document.h"

#include <QAbstractTableModel>
#include <QColor>

#include <utility>
#include <vector>

class StringListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { CaptionColumn = 0, ByteLengthColumn = 1, StatusColumn = 2, RoleColumn = 3, ColumnCount = 4 };

    explicit StringListModel(QObject* parent = nullptr);
    // Shows `list`, which must outlive the model and change only through Refill and Patch.
    explicit StringListModel(cl::StringList& list, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    const cl::StringList& List() const { return *list_; }

    // The role of each row, parallel to the list (the open document's); null or empty where
    // rows have no role (a language pack, a class that does not parse): the column stays blank.
    void SetRoles(const std::vector<cl::classfile::Role>* roles) { roles_ = roles; }
    // Where each literal row's text goes, for the role column's tooltip (the open document's).
    void SetUses(const std::vector<std::optional<cl::Document::RowUse>>* uses) { uses_ = uses; }

    // Runs `fill` on the list between beginResetModel and endResetModel. The reset is ended
    // also when `fill` throws (a scan that stops half way keeps the rows found so far).
    template <class Fill>
    void Refill(Fill&& fill)
    {
        ResetGuard guard(*this);
        std::forward<Fill>(fill)(*list_);
    }

    // Runs `change` on the list, which may alter captions and byte lengths but not the number
    // of rows, then tells the views that `row` changed (any row when -1).
    template <class Change>
    auto Patch(int row, Change&& change)
    {
        struct Notify {
            StringListModel& model;
            int row;
            ~Notify() { model.RowChanged(row); }
        } notify{*this, row};
        return std::forward<Change>(change)(*list_);
    }

    // The colour of a suspicious row's text.
    static QColor SuspiciousColor() { return QColor(255, 0, 0); }
    // The colour of a row that is not a plain string constant.
    static QColor UntranslatableColor() { return QColor(128, 128, 128); }

private:
    struct ResetGuard {
        explicit ResetGuard(StringListModel& m) : model(m) { model.beginResetModel(); }
        ~ResetGuard() { model.endResetModel(); }
        ResetGuard(const ResetGuard&) = delete;
        ResetGuard& operator=(const ResetGuard&) = delete;
        StringListModel& model;
    };

    void RowChanged(int row);

    const cl::classfile::Role* RoleOf(int row) const;

    cl::StringList ownList_;
    cl::StringList* list_ = &ownList_;
    const std::vector<cl::classfile::Role>* roles_ = nullptr;
    const std::vector<std::optional<cl::Document::RowUse>>* uses_ = nullptr;
};

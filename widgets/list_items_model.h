// The rows of a report-style list: one text per column and an owned data
// object per row. Rows appended inside an update bracket are made known to
// the views once, when the bracket closes, so adding 100,000 rows costs one
// view update instead of 100,000.
#pragma once

#include <QAbstractTableModel>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

namespace kt {

// Base of the data a list row owns; freed with the row. A row that stores
// no text for a column shows what its data gives for it, so a list of many
// rows can derive its texts instead of holding them twice.
class TListItemData {
public:
    virtual ~TListItemData() = default;
    virtual QString Text(int /*column*/) const { return {}; }
};

struct TListColumn {
    QString Caption;
    int Width = 50;
    int Tag = 0;
};

class TListItemsModel : public QAbstractTableModel {
    Q_OBJECT

public:
    using TCompare = std::function<int(const TListItemData* a, const TListItemData* b)>;

    explicit TListItemsModel(QObject* parent = nullptr);
    ~TListItemsModel() override;

    // Columns.
    int AddColumn(const TListColumn& column);
    int ColumnCount() const { return static_cast<int>(FColumns.size()); }
    const TListColumn& Column(int index) const { return FColumns.at(index); }
    void SetColumnCaption(int index, const QString& caption);

    // Rows. Row numbers count every row, also those not yet shown.
    int ItemCount() const { return static_cast<int>(FRows.size()); }
    int AddItem(std::vector<QString> texts, std::unique_ptr<TListItemData> data);
    QString ItemText(int row, int column) const;
    void SetItemText(int row, int column, const QString& text);
    TListItemData* ItemData(int row) const { return FRows.at(row).Data.get(); }
    // Tells the views that a row's derived texts changed.
    void ItemChanged(int row);
    // Removes the given rows (any order, duplicates allowed) and frees their
    // data.
    void DeleteItems(std::vector<int> rows);
    void Clear();
    // Stable sort by `compare` (negative: a before b); rows equal under it
    // keep their order. Persistent indexes (selection, current row) follow
    // their rows.
    void Sort(const TCompare& compare);

    // While deferring, appended rows are held back from the views.
    void SetDeferAppends(bool defer);
    // Makes every appended row known to the views.
    void Publish();

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    // 16 bytes: the texts are held apart, since most rows of a long list
    // (the input list's) have none and derive them from their data.
    struct TRow {
        std::unique_ptr<std::vector<QString>> Texts;  // null: no texts
        std::unique_ptr<TListItemData> Data;
    };
    static_assert(sizeof(TRow) == 2 * sizeof(void*), "a row is two pointers");

    std::vector<TListColumn> FColumns;
    std::vector<TRow> FRows;
    int FPublished = 0;  // rows the views know of
    bool FDeferAppends = false;
};

}  // namespace kt

// TKWallListView: a report-style list (columns, rows, whole-row multiple
// selection, clickable headers) whose background carries a picture, drawn
// once in the centre or tiled over the client area, behind the rows. Built
// for 100,000 rows: rows live in a flat model, bulk changes go inside
// BeginUpdate/EndUpdate and reach the view once.
#pragma once

#include <QPixmap>
#include <QTableView>
#include <functional>
#include <memory>
#include <vector>

#include "widgets/list_items_model.h"

namespace kt {

enum TKWallType { tkwtCenter = 0, tkwtTile = 1 };

class TKWallListView : public QTableView {
    Q_OBJECT

public:
    explicit TKWallListView(QWidget* parent = nullptr);
    ~TKWallListView() override;

    // Wallpaper. Setting a picture copies it and repaints the control.
    const QPixmap& WallPaper() const { return FWallPaper; }
    void SetWallPaper(const QPixmap& picture);
    TKWallType WallType() const { return FWallType; }
    void SetWallType(TKWallType type);
    // Top-left corners at which the picture is drawn in a client area of the
    // given size (nothing for an empty picture).
    static std::vector<QPoint> WallPaperOrigins(QSize client, QSize picture, TKWallType type);
    // The client area: inside the border, the header included (in this
    // widget's coordinates).
    QRect ClientRect() const;

    // Columns.
    int AddColumn(const QString& caption, int width, int tag);
    int ColumnCount() const { return FItems->ColumnCount(); }
    const TListColumn& Column(int index) const { return FItems->Column(index); }
    void SetColumnCaption(int index, const QString& caption) {
        FItems->SetColumnCaption(index, caption);
    }
    int ColumnWidth(int index) const { return columnWidth(index); }

    // Rows.
    int ItemCount() const { return FItems->ItemCount(); }
    int AddItem(std::vector<QString> texts, std::unique_ptr<TListItemData> data) {
        return FItems->AddItem(std::move(texts), std::move(data));
    }
    QString ItemText(int row, int column) const { return FItems->ItemText(row, column); }
    void SetItemText(int row, int column, const QString& text) {
        FItems->SetItemText(row, column, text);
    }
    TListItemData* ItemData(int row) const { return FItems->ItemData(row); }
    void ItemChanged(int row) { FItems->ItemChanged(row); }
    void DeleteItems(const std::vector<int>& rows) { FItems->DeleteItems(rows); }
    void ClearItems() { FItems->Clear(); }

    // Selection (whole rows).
    std::vector<int> SelectedRows() const;  // ascending
    int SelectedCount() const;
    bool IsSelected(int row) const;
    void SetSelected(int row, bool selected);
    void SelectAllItems();
    // The focus mark (current row); -1 for none.
    int FocusedItem() const;
    void SetFocusedItem(int row);

    // Sorting: stable, by `OnCompare`.
    std::function<int(const TListItemData* a, const TListItemData* b)> OnCompare;
    void CustomSort();

    // A header was clicked.
    std::function<void(const TListColumn& column)> OnColumnClick;

    // Update bracket: no repaint and no view update until the outermost
    // EndUpdate; brackets nest.
    void BeginUpdate();
    void EndUpdate();
    bool Updating() const { return FUpdateCount > 0; }

    TListItemsModel* Items() const { return FItems; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    TListItemsModel* FItems;
    QPixmap FWallPaper;
    TKWallType FWallType = tkwtCenter;
    int FUpdateCount = 0;
};

// One update bracket on a list for the lifetime of the object.
class TListUpdate {
public:
    explicit TListUpdate(TKWallListView* list) : FList(list) { FList->BeginUpdate(); }
    ~TListUpdate() { FList->EndUpdate(); }
    TListUpdate(const TListUpdate&) = delete;
    TListUpdate& operator=(const TListUpdate&) = delete;

private:
    TKWallListView* FList;
};

}  // namespace kt

#include "widgets/kwall_list_view.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QPaintEvent>
#include <QPainter>

namespace kt {

TKWallListView::TKWallListView(QWidget* parent)
    : QTableView(parent), FItems(new TListItemsModel(this)) {
    setModel(FItems);
    // The sunken two-pixel border of a list control.
    setFrameStyle(QFrame::WinPanel | QFrame::Sunken);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setShowGrid(true);
    setWordWrap(false);
    setTabKeyNavigation(false);
    setCornerButtonEnabled(false);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    verticalHeader()->hide();
    // Fixed row heights keep scrolling and layout constant-time per row.
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    horizontalHeader()->setSectionsClickable(true);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setStretchLastSection(false);
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    connect(horizontalHeader(), &QHeaderView::sectionClicked, this, [this](int section) {
        if (OnColumnClick && section >= 0 && section < ColumnCount()) {
            OnColumnClick(Column(section));
        }
    });
}

TKWallListView::~TKWallListView() = default;

void TKWallListView::SetWallPaper(const QPixmap& picture) {
    FWallPaper = picture;
    viewport()->update();
}

void TKWallListView::SetWallType(TKWallType type) {
    if (type == FWallType) return;
    FWallType = type;
    if (!FWallPaper.isNull()) viewport()->update();
}

std::vector<QPoint> TKWallListView::WallPaperOrigins(QSize client, QSize picture, TKWallType type) {
    std::vector<QPoint> origins;
    if (picture.isEmpty()) return origins;
    if (type == tkwtCenter) {
        // Integer division truncates toward zero, as the placement rule asks.
        origins.emplace_back((client.width() - picture.width()) / 2,
                             (client.height() - picture.height()) / 2);
        return origins;
    }
    for (int y = 0; y < client.height(); y += picture.height()) {
        for (int x = 0; x < client.width(); x += picture.width()) origins.emplace_back(x, y);
    }
    return origins;
}

QRect TKWallListView::ClientRect() const { return contentsRect(); }

void TKWallListView::paintEvent(QPaintEvent* event) {
    if (!FWallPaper.isNull()) {
        QPainter painter(viewport());
        painter.setClipRect(event->rect());
        const QRect client = ClientRect();
        // Placement is computed in the client area (header included) and
        // drawn on the viewport, which sits below the header.
        const QPoint shift = client.topLeft() - viewport()->geometry().topLeft();
        for (const QPoint& origin : WallPaperOrigins(client.size(), FWallPaper.size(), FWallType)) {
            painter.drawPixmap(origin + shift, FWallPaper);
        }
    }
    QTableView::paintEvent(event);
}

void TKWallListView::scrollContentsBy(int dx, int dy) {
    QTableView::scrollContentsBy(dx, dy);
    // The picture stays still while the rows move: repaint instead of
    // keeping the shifted pixels.
    if (!FWallPaper.isNull()) viewport()->update();
}

int TKWallListView::AddColumn(const QString& caption, int width, int tag) {
    const int index = FItems->AddColumn(TListColumn{caption, width, tag});
    setColumnWidth(index, width);
    return index;
}

std::vector<int> TKWallListView::SelectedRows() const {
    FItems->Publish();
    std::vector<int> rows;
    const int n = FItems->rowCount();
    if (n == 0) return rows;
    // Walk the selection ranges once: cheap however many rows are chosen.
    std::vector<char> marked(n, 0);
    for (const QItemSelectionRange& range : selectionModel()->selection()) {
        for (int r = range.top(); r <= range.bottom() && r < n; ++r) marked[r] = 1;
    }
    for (int r = 0; r < n; ++r) {
        if (marked[r]) rows.push_back(r);
    }
    return rows;
}

int TKWallListView::SelectedCount() const { return static_cast<int>(SelectedRows().size()); }

bool TKWallListView::IsSelected(int row) const {
    FItems->Publish();
    return selectionModel()->isRowSelected(row, QModelIndex());
}

void TKWallListView::SetSelected(int row, bool selected) {
    FItems->Publish();
    if (row < 0 || row >= FItems->rowCount() || ColumnCount() == 0) return;
    const QItemSelection range(FItems->index(row, 0), FItems->index(row, ColumnCount() - 1));
    selectionModel()->select(
        range, selected ? QItemSelectionModel::Select : QItemSelectionModel::Deselect);
}

void TKWallListView::SelectAllItems() {
    FItems->Publish();
    const int n = FItems->rowCount();
    if (n == 0 || ColumnCount() == 0) return;
    // One range for all rows: selecting row by row would leave one range per
    // row and make every later selection test slow.
    const QItemSelection all(FItems->index(0, 0), FItems->index(n - 1, ColumnCount() - 1));
    selectionModel()->select(all, QItemSelectionModel::ClearAndSelect);
}

int TKWallListView::FocusedItem() const {
    const QModelIndex current = selectionModel()->currentIndex();
    return current.isValid() ? current.row() : -1;
}

void TKWallListView::SetFocusedItem(int row) {
    FItems->Publish();
    if (row < 0 || row >= FItems->rowCount()) return;
    selectionModel()->setCurrentIndex(FItems->index(row, 0), QItemSelectionModel::NoUpdate);
}

void TKWallListView::CustomSort() { FItems->Sort(OnCompare); }

void TKWallListView::BeginUpdate() {
    if (FUpdateCount++ == 0) {
        setUpdatesEnabled(false);
        FItems->SetDeferAppends(true);
    }
}

void TKWallListView::EndUpdate() {
    if (FUpdateCount == 0) return;
    if (--FUpdateCount == 0) {
        FItems->SetDeferAppends(false);
        setUpdatesEnabled(true);
    }
}

}  // namespace kt

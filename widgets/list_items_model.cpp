#include "widgets/list_items_model.h"

#include <algorithm>
#include <numeric>

namespace kt {

TListItemsModel::TListItemsModel(QObject* parent) : QAbstractTableModel(parent) {}

TListItemsModel::~TListItemsModel() = default;

int TListItemsModel::AddColumn(const TListColumn& column) {
    Publish();
    const int index = ColumnCount();
    beginInsertColumns(QModelIndex(), index, index);
    FColumns.push_back(column);
    endInsertColumns();
    return index;
}

void TListItemsModel::SetColumnCaption(int index, const QString& caption) {
    if (index < 0 || index >= ColumnCount() || FColumns[index].Caption == caption) return;
    FColumns[index].Caption = caption;
    emit headerDataChanged(Qt::Horizontal, index, index);
}

int TListItemsModel::AddItem(std::vector<QString> texts, std::unique_ptr<TListItemData> data) {
    auto held = texts.empty() ? nullptr : std::make_unique<std::vector<QString>>(std::move(texts));
    FRows.push_back(TRow{std::move(held), std::move(data)});
    if (!FDeferAppends) Publish();
    return ItemCount() - 1;
}

QString TListItemsModel::ItemText(int row, int column) const {
    const TRow& r = FRows.at(row);
    if (column < 0) return {};
    if (r.Texts && column < static_cast<int>(r.Texts->size())) return (*r.Texts)[column];
    return r.Data ? r.Data->Text(column) : QString();
}

void TListItemsModel::ItemChanged(int row) {
    if (row < 0 || row >= FPublished || ColumnCount() == 0) return;
    emit dataChanged(index(row, 0), index(row, ColumnCount() - 1), {Qt::DisplayRole});
}

void TListItemsModel::SetItemText(int row, int column, const QString& text) {
    TRow& r = FRows.at(row);
    if (column < 0) return;
    if (!r.Texts) r.Texts = std::make_unique<std::vector<QString>>();
    std::vector<QString>& texts = *r.Texts;
    if (column >= static_cast<int>(texts.size())) texts.resize(column + 1);
    if (texts[column] == text) return;
    texts[column] = text;
    if (row < FPublished && column < ColumnCount()) {
        const QModelIndex i = index(row, column);
        emit dataChanged(i, i, {Qt::DisplayRole});
    }
}

void TListItemsModel::DeleteItems(std::vector<int> rows) {
    Publish();
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    rows.erase(
        std::remove_if(rows.begin(), rows.end(), [&](int r) { return r < 0 || r >= ItemCount(); }),
        rows.end());
    if (rows.empty()) return;

    // Contiguous runs, removed from the back so earlier numbers stay valid.
    std::vector<std::pair<int, int>> runs;
    for (int r : rows) {
        if (!runs.empty() && runs.back().second + 1 == r) {
            runs.back().second = r;
        } else {
            runs.emplace_back(r, r);
        }
    }
    constexpr size_t kMaxRunsOneByOne = 32;
    if (runs.size() <= kMaxRunsOneByOne) {
        for (auto it = runs.rbegin(); it != runs.rend(); ++it) {
            beginRemoveRows(QModelIndex(), it->first, it->second);
            FRows.erase(FRows.begin() + it->first, FRows.begin() + it->second + 1);
            FPublished = ItemCount();
            endRemoveRows();
        }
        return;
    }
    // Many scattered rows: one compacting pass and one reset instead of a
    // quadratic series of removals. The rows left were not among those
    // removed, so nothing a view shows of them is lost but the current row.
    beginResetModel();
    std::vector<char> doomed(FRows.size(), 0);
    for (int r : rows) doomed[r] = 1;
    size_t out = 0;
    for (size_t i = 0; i < FRows.size(); ++i) {
        if (!doomed[i]) {
            if (out != i) FRows[out] = std::move(FRows[i]);
            ++out;
        }
    }
    FRows.resize(out);
    FPublished = ItemCount();
    endResetModel();
}

void TListItemsModel::Clear() {
    if (FRows.empty()) return;
    beginResetModel();
    FRows.clear();
    FPublished = 0;
    endResetModel();
}

void TListItemsModel::Sort(const TCompare& compare) {
    Publish();
    const int n = ItemCount();
    if (n < 2 || !compare) return;
    std::vector<int> order(n);
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        return compare(FRows[a].Data.get(), FRows[b].Data.get()) < 0;
    });
    if (std::is_sorted(order.begin(), order.end())) return;

    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    std::vector<int> newRowOf(n);
    for (int i = 0; i < n; ++i) newRowOf[order[i]] = i;
    // Rows move in place, cycle by cycle: a second vector of them would stay
    // in the heap after the sort of a long list.
    for (int start = 0; start < n; ++start) {
        if (order[start] == start) continue;
        TRow held = std::move(FRows[start]);
        int at = start;
        while (order[at] != start) {
            const int from = order[at];
            FRows[at] = std::move(FRows[from]);
            order[at] = at;
            at = from;
        }
        FRows[at] = std::move(held);
        order[at] = at;
    }
    const QModelIndexList from = persistentIndexList();
    QModelIndexList to;
    to.reserve(from.size());
    for (const QModelIndex& i : from) to.append(index(newRowOf[i.row()], i.column()));
    changePersistentIndexList(from, to);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void TListItemsModel::SetDeferAppends(bool defer) {
    FDeferAppends = defer;
    if (!defer) Publish();
}

void TListItemsModel::Publish() {
    if (FPublished >= ItemCount()) return;
    beginInsertRows(QModelIndex(), FPublished, ItemCount() - 1);
    FPublished = ItemCount();
    endInsertRows();
}

int TListItemsModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : FPublished;
}

int TListItemsModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount();
}

QVariant TListItemsModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= FPublished) return {};
    if (role == Qt::DisplayRole) {
        return ItemText(index.row(), index.column());
    }
    if (role == Qt::TextAlignmentRole) return int(Qt::AlignLeft | Qt::AlignVCenter);
    return {};
}

QVariant TListItemsModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= ColumnCount()) return {};
    if (role == Qt::DisplayRole) return FColumns[section].Caption;
    if (role == Qt::TextAlignmentRole) return int(Qt::AlignLeft | Qt::AlignVCenter);
    return {};
}

Qt::ItemFlags TListItemsModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    // Captions are not editable.
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}

}  // namespace kt

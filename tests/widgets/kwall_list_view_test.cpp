// Wallpaper list: where the picture lands, that rows draw over it, and the
// row, selection and sorting operations the window relies on.
#include "widgets/kwall_list_view.h"

#include <gtest/gtest.h>

#include <QHeaderView>
#include <QImage>
#include <QPainter>
#include <algorithm>
#include <numeric>
#include <random>

#include "tests/widgets/ensure_qt_app.h"

namespace kt {
namespace {

struct TNumber : TListItemData {
    explicit TNumber(int v, int* freed = nullptr) : Value(v), Freed(freed) {}
    ~TNumber() override {
        if (Freed) ++*Freed;
    }
    int Value;
    int* Freed;
};

int ValueOf(const TKWallListView& list, int row) {
    return static_cast<const TNumber*>(list.ItemData(row))->Value;
}

TEST(WallPaperPlacementTest, CentreOfALargerPictureIsANegativeOffset) {
    const auto origins = TKWallListView::WallPaperOrigins({316, 240}, {320, 240}, tkwtCenter);
    ASSERT_EQ(origins.size(), 1u);
    EXPECT_EQ(origins[0], QPoint(-2, 0));
    // Odd differences truncate toward zero.
    EXPECT_EQ(TKWallListView::WallPaperOrigins({315, 241}, {320, 240}, tkwtCenter)[0],
              QPoint(-2, 0));
}

TEST(WallPaperPlacementTest, TilesCoverTheClientArea) {
    const auto origins = TKWallListView::WallPaperOrigins({250, 150}, {100, 100}, tkwtTile);
    const std::vector<QPoint> expected = {{0, 0},   {100, 0},   {200, 0},
                                          {0, 100}, {100, 100}, {200, 100}};
    EXPECT_EQ(origins, expected);
}

TEST(WallPaperPlacementTest, EmptyPictureDrawsNothing) {
    EXPECT_TRUE(TKWallListView::WallPaperOrigins({250, 150}, {}, tkwtTile).empty());
    EXPECT_TRUE(TKWallListView::WallPaperOrigins({250, 150}, {}, tkwtCenter).empty());
}

class WallListRenderTest : public ::testing::Test {
protected:
    void SetUp() override { EnsureQtApp(); }
};

TEST_F(WallListRenderTest, CentredPictureIsDrawnBehindTheRowsAtItsPlace) {
    TKWallListView list;
    list.setGeometry(0, 0, 320, 244);
    list.AddColumn("a", 100, 0);
    // The client area of a 320 x 244 list with its two-pixel border.
    ASSERT_EQ(list.ClientRect().size(), QSize(316, 240));

    // Red picture with one green column at picture x = 2: drawn at -2 it
    // lands on the first client column.
    QImage picture(320, 240, QImage::Format_RGB32);
    picture.fill(Qt::red);
    for (int y = 0; y < 240; ++y) picture.setPixelColor(2, y, Qt::green);
    list.SetWallPaper(QPixmap::fromImage(picture));
    list.show();

    const QImage shot = list.grab().toImage();
    const QRect client = list.ClientRect();
    const int y = list.viewport()->geometry().top() + 150;  // below the header, no rows there
    EXPECT_EQ(shot.pixelColor(client.left(), y), QColor(Qt::green));
    EXPECT_EQ(shot.pixelColor(client.left() + 1, y), QColor(Qt::red));
    EXPECT_EQ(shot.pixelColor(client.left() + 200, y), QColor(Qt::red));
}

TEST_F(WallListRenderTest, TiledPictureRepeatsAndRowsDrawOverIt) {
    TKWallListView list;
    list.setGeometry(0, 0, 254, 154);
    list.AddColumn("a", 240, 0);
    list.AddItem({"row text"}, nullptr);
    QImage tile(100, 100, QImage::Format_RGB32);
    tile.fill(Qt::blue);
    tile.setPixelColor(0, 0, Qt::yellow);  // marks each tile's corner
    list.SetWallPaper(QPixmap::fromImage(tile));
    list.SetWallType(tkwtTile);
    list.show();

    const QImage shot = list.grab().toImage();
    const QPoint c = list.ClientRect().topLeft();
    // Tile corners at client (100, 100) and (200, 100) lie below the header.
    EXPECT_EQ(shot.pixelColor(c + QPoint(100, 100)), QColor(Qt::yellow));
    EXPECT_EQ(shot.pixelColor(c + QPoint(200, 100)), QColor(Qt::yellow));
    EXPECT_EQ(shot.pixelColor(c + QPoint(150, 120)), QColor(Qt::blue));
    // The row's text is drawn over the picture: some pixel of the first row
    // is neither tile colour.
    const QRect row = list.visualRect(list.Items()->index(0, 0))
                          .translated(list.viewport()->geometry().topLeft());
    bool textSeen = false;
    for (int x = row.left(); x < row.left() + 60 && !textSeen; ++x) {
        for (int y = row.top(); y <= row.bottom(); ++y) {
            const QColor px = shot.pixelColor(x, y);
            if (px != QColor(Qt::blue) && px != QColor(Qt::yellow)) textSeen = true;
        }
    }
    EXPECT_TRUE(textSeen);
}

TEST_F(WallListRenderTest, SwitchingModesOnlyStoresWhenTheValueChanges) {
    TKWallListView list;
    EXPECT_EQ(list.WallType(), tkwtCenter);
    list.SetWallType(tkwtTile);
    EXPECT_EQ(list.WallType(), tkwtTile);
    list.SetWallType(tkwtTile);
    EXPECT_EQ(list.WallType(), tkwtTile);
}

class ListRowsTest : public ::testing::Test {
protected:
    void SetUp() override {
        list.AddColumn("value", 100, 7);
        list.AddColumn("text", 100, 8);
    }
    void AddValues(std::initializer_list<int> values) {
        for (int v : values) {
            list.AddItem({QString::number(v), QStringLiteral("t%1").arg(v)},
                         std::make_unique<TNumber>(v, &freed));
        }
    }
    QApplication* app = EnsureQtApp();  // before any widget
    TKWallListView list;
    int freed = 0;
};

TEST_F(ListRowsTest, RowsAddedInsideTheBracketReachTheViewWhenItCloses) {
    list.BeginUpdate();
    AddValues({1, 2, 3});
    EXPECT_EQ(list.ItemCount(), 3);
    EXPECT_EQ(list.Items()->rowCount(), 0);  // the view has not been told yet
    EXPECT_EQ(list.ItemText(2, 1), "t3");
    list.EndUpdate();
    EXPECT_EQ(list.Items()->rowCount(), 3);
    EXPECT_TRUE(list.updatesEnabled());
}

TEST_F(ListRowsTest, StableSortKeepsEqualRowsInOrderAndSelectionFollowsRows) {
    AddValues({30, 10, 20, 10, 30});
    // Mark which of the equal rows is which through their texts.
    list.SetItemText(1, 1, "first ten");
    list.SetItemText(3, 1, "second ten");
    list.SetSelected(2, true);  // the row holding 20
    list.OnCompare = [](const TListItemData* a, const TListItemData* b) {
        return static_cast<const TNumber*>(a)->Value - static_cast<const TNumber*>(b)->Value;
    };
    list.CustomSort();
    std::vector<int> values;
    for (int r = 0; r < list.ItemCount(); ++r) values.push_back(ValueOf(list, r));
    EXPECT_EQ(values, (std::vector<int>{10, 10, 20, 30, 30}));
    EXPECT_EQ(list.ItemText(0, 1), "first ten");
    EXPECT_EQ(list.ItemText(1, 1), "second ten");
    EXPECT_EQ(list.SelectedRows(), std::vector<int>{2});
}

TEST_F(ListRowsTest, SortCarriesEveryRowWithItsTextsAndSelectionThroughAnyPermutation) {
    // A shuffle of 300 values has cycles of many lengths; every row must
    // land where its value says, with its own texts, data and selection.
    std::vector<int> shuffled(300);
    std::iota(shuffled.begin(), shuffled.end(), 0);
    std::shuffle(shuffled.begin(), shuffled.end(), std::mt19937(5));
    for (int v : shuffled)
        list.AddItem({QString::number(v), QStringLiteral("t%1").arg(v)},
                     std::make_unique<TNumber>(v, &freed));
    for (int r = 0; r < list.ItemCount(); ++r) list.SetSelected(r, shuffled[r] % 7 == 0);
    list.OnCompare = [](const TListItemData* a, const TListItemData* b) {
        return static_cast<const TNumber*>(a)->Value - static_cast<const TNumber*>(b)->Value;
    };
    list.CustomSort();
    std::vector<int> sevens;
    for (int r = 0; r < list.ItemCount(); ++r) {
        ASSERT_EQ(ValueOf(list, r), r);
        ASSERT_EQ(list.ItemText(r, 1), QStringLiteral("t%1").arg(r));
        if (r % 7 == 0) sevens.push_back(r);
    }
    EXPECT_EQ(list.SelectedRows(), sevens);
    EXPECT_EQ(freed, 0);
}

// A row's data that gives its texts instead of the row storing them.
struct TCounter : TListItemData {
    QString Text(int column) const override {
        return column == 1 ? QString::number(Count) : QString();
    }
    int Count = 0;
};

TEST_F(ListRowsTest, DataGivesTheTextsARowDoesNotStoreAndAChangeReachesTheView) {
    list.AddItem({QStringLiteral("stored")}, std::make_unique<TCounter>());
    EXPECT_EQ(list.ItemText(0, 0), "stored");
    EXPECT_EQ(list.ItemText(0, 1), "0");
    EXPECT_EQ(list.Items()->data(list.Items()->index(0, 1), Qt::DisplayRole).toString(), "0");

    std::vector<std::pair<QModelIndex, QModelIndex>> changed;
    QObject::connect(
        list.Items(), &QAbstractItemModel::dataChanged,
        [&](const QModelIndex& a, const QModelIndex& b) { changed.emplace_back(a, b); });
    static_cast<TCounter*>(list.ItemData(0))->Count = 5;
    list.ItemChanged(0);
    ASSERT_EQ(changed.size(), 1u);
    EXPECT_EQ(changed[0].first, list.Items()->index(0, 0));
    EXPECT_EQ(changed[0].second, list.Items()->index(0, 1));
    EXPECT_EQ(list.ItemText(0, 1), "5");
}

TEST_F(ListRowsTest, DeletingFreesEachRowsDataOnce) {
    AddValues({0, 1, 2, 3, 4, 5});
    list.DeleteItems({4, 1, 1});
    EXPECT_EQ(freed, 2);
    ASSERT_EQ(list.ItemCount(), 4);
    EXPECT_EQ(ValueOf(list, 1), 2);
    EXPECT_EQ(ValueOf(list, 3), 5);
    list.ClearItems();
    EXPECT_EQ(freed, 6);
    EXPECT_EQ(list.ItemCount(), 0);
}

TEST_F(ListRowsTest, DeletingManyScatteredRowsKeepsTheOthersInOrder) {
    for (int v = 0; v < 200; ++v) AddValues({v});
    std::vector<int> odd;
    for (int r = 1; r < 200; r += 2) odd.push_back(r);
    list.DeleteItems(odd);
    ASSERT_EQ(list.ItemCount(), 100);
    for (int r = 0; r < 100; ++r) ASSERT_EQ(ValueOf(list, r), 2 * r);
    EXPECT_EQ(list.Items()->rowCount(), 100);
    EXPECT_EQ(freed, 100);
}

TEST_F(ListRowsTest, SelectAllIsOneSelectionOfEveryRow) {
    AddValues({1, 2, 3, 4});
    list.SelectAllItems();
    EXPECT_EQ(list.SelectedCount(), 4);
    EXPECT_EQ(list.selectionModel()->selection().size(), 1);
    list.SetSelected(1, false);
    EXPECT_EQ(list.SelectedRows(), (std::vector<int>{0, 2, 3}));
}

TEST_F(ListRowsTest, HeaderClickReportsTheColumnWithItsTag) {
    int tag = -1;
    list.OnColumnClick = [&](const TListColumn& c) { tag = c.Tag; };
    emit list.horizontalHeader()->sectionClicked(1);
    EXPECT_EQ(tag, 8);
    EXPECT_EQ(list.ColumnWidth(0), 100);
}

}  // namespace
}  // namespace kt

// The input list: adding files and folders (drop, open dialog, command
// line), the count label, sorting with its marks, the context menu and the
// entry states.
#include <QAction>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <algorithm>
#include <climits>
#include <string_view>

#include "app/infile_entry.h"
#include "app/main_window.h"
#include "app/ui_text.h"
#include "archive/source_paths.h"
#include "platform/qt/busy.h"
#include "platform/qt/prompt.h"
#include "widgets/drop_dst.h"
#include "widgets/kwall_list_view.h"

namespace kt {

namespace {

const char* const kColumnCaptions[3] = {"ディレクトリ名", "ファイル名", "状態"};
constexpr int kColumnWidths[3] = {145, 100, 55};

}  // namespace

// The progress bar runs from 0 to `maximum` for the lifetime of the
// bracket and returns to 0 at its end, also when an exception unwinds. The
// bar is told of a step only when its filled part grows by at least one
// pixel and a frame time has passed (or the end is reached): each time it is
// told it repaints at once, which costs far more than adding a row.
class TProgressBracket {
public:
    TProgressBracket(QProgressBar* bar, long long maximum) : FBar(bar) {
        FBar->setMinimum(0);
        FBar->setValue(0);
        FBar->setMaximum(static_cast<int>(std::clamp<long long>(maximum, 0, INT_MAX)));
        FShown.start();
    }
    ~TProgressBracket() { FBar->setValue(0); }
    void Step() { Set(FPosition + 1); }
    void Set(int value) {
        const int max = FBar->maximum();
        FPosition = std::min(value, max);
        const long long grown =
            static_cast<long long>(FPosition - FBar->value()) * std::max(1, FBar->width());
        if (FPosition == max || (grown >= max && FShown.elapsed() >= kFrameMs)) {
            FBar->setValue(FPosition);
            FShown.restart();
        }
    }

private:
    static constexpr qint64 kFrameMs = 20;
    QProgressBar* FBar;
    int FPosition = 0;
    QElapsedTimer FShown;
};

void TFormMain::CreateListComponents() {
    for (int i = 0; i < 3; ++i)
        KWallListViewInfile->AddColumn(U(kColumnCaptions[i]), kColumnWidths[i], i);
    KWallListViewInfile->OnCompare = [this](const TListItemData* a, const TListItemData* b) {
        return KWallListViewInfileCompare(a, b);
    };
    KWallListViewInfile->OnColumnClick = [this](const TListColumn& c) {
        KWallListViewInfileColumnClick(c);
    };

    DropDstList = new TDropDst(this);
    DropDstList->BeginLoading();
    DropDstList->SetControl(KWallListViewInfile);
    DropDstList->SetTarget(htControl);
    DropDstList->OnFileDrop = [this](TDropDst* s, const std::vector<std::string>& f, int x, int y) {
        DropDstListFileDrop(s, f, x, y);
    };
    DropDstList->Loaded();

    DropDstDir = new TDropDst(this);
    DropDstDir->BeginLoading();
    DropDstDir->SetControl(EditSelect);
    DropDstDir->SetTarget(htControl);
    DropDstDir->Loaded();

    OpenDialogInfile = new QFileDialog(this);
    OpenDialogInfile->setFileMode(QFileDialog::ExistingFiles);
    // Shown as "すべてのファイル (*.*)" while matching every name, also names
    // without a dot (a bare "*.*" pattern would hide those).
    OpenDialogInfile->setOption(QFileDialog::HideNameFilterDetails, true);
    OpenDialogInfile->setNameFilter(U("すべてのファイル (*.*) (*)"));
    OpenDialogInfile->setSizeGripEnabled(true);

    PopupMenuListView = new QMenu(KWallListViewInfile);
    auto item = [this](const char* caption, QKeySequence key, void (TFormMain::*handler)()) {
        QAction* a = PopupMenuListView->addAction(U(caption));
        a->setShortcut(key);
        a->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        KWallListViewInfile->addAction(a);
        connect(a, &QAction::triggered, this, [this, handler] { (this->*handler)(); });
        return a;
    };
    NAllSelect =
        item("すべて選択(&A)", QKeySequence(Qt::CTRL | Qt::Key_A), &TFormMain::NAllSelectClick);
    N2 = PopupMenuListView->addSeparator();
    NDel = item("リストから外す(&D)", QKeySequence(Qt::Key_Delete), &TFormMain::NDelClick);
    N4 = PopupMenuListView->addSeparator();
    NNotExec = item("状態を「未処理」にする(&S)", QKeySequence(Qt::CTRL | Qt::Key_S),
                    &TFormMain::NNotExecClick);
    NExecEnd = item("状態を「完了」にする(&E)", QKeySequence(Qt::CTRL | Qt::Key_E),
                    &TFormMain::NExecEndClick);
    KWallListViewInfile->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(KWallListViewInfile, &QWidget::customContextMenuRequested, this, [this](QPoint p) {
        PopupMenuListView->popup(KWallListViewInfile->viewport()->mapToGlobal(p));
    });
}

void TFormMain::AddFiles(const std::vector<std::string>& files) {
    std::vector<std::string> refused;
    {
        THourglass hourglass;
        // One walk finds every file before any row is made; their number is
        // the progress bar's maximum, so the bar shows the real count, and
        // the folders are not walked a second time to add them.
        TSources found = CollectSources(files, kListRules);
        refused = std::move(found.Refused);
        TProgressBracket progress(ProgressBar, static_cast<long long>(found.Files.size()));
        {
            TListUpdate update(KWallListViewInfile);
            FAddProgress = &progress;
            try {
                // The rows take the collected paths over instead of copying them.
                for (TSourceFile& file : found.Files) AddEntry(std::move(file.Path));
            } catch (...) {
                FAddProgress = nullptr;
                throw;
            }
            FAddProgress = nullptr;
            SortList();
        }
        ShowFileCount();
    }
    // Paths given directly that could not be listed are named once, after
    // everything else has been added.
    if (!refused.empty()) {
        std::string text =
            "次のファイルは追加できません（通常のファイルまたは読み取れるフォルダではありません）"
            "。";
        for (const std::string& p : refused) text += "\r" + p;
        ShowMessage(text);
    }
}

// A path that does not exist adds nothing and says nothing; the paths are
// listed byte for byte as given.
const TSourceRules TFormMain::kListRules{TMissingPaths::PassOver, false, false};

void TFormMain::AddEntry(std::string path) {
    // The row stores no texts: its entry gives them from the path.
    KWallListViewInfile->AddItem({}, std::make_unique<TInfileEntry>(std::move(path)));
    if (FAddProgress) {
        FAddProgress->Step();
    } else if (ProgressBar->value() < ProgressBar->maximum()) {
        ProgressBar->setValue(ProgressBar->value() + 1);
    }
}

void TFormMain::ClearList() {
    THourglass hourglass;
    TProgressBracket progress(ProgressBar, KWallListViewInfile->ItemCount());
    {
        TListUpdate update(KWallListViewInfile);
        KWallListViewInfile->ClearItems();
        progress.Set(ProgressBar->maximum());
    }
    ShowFileCount();
}

void TFormMain::ShowFileCount() {
    LabelFileNum->setText(U("（ファイル数：") + QString::number(KWallListViewInfile->ItemCount()) +
                          U("）"));
}

void TFormMain::ShowSortMark() {
    // A stored column outside the three is taken as the first.
    const int sorted = FSortPattern <= 2 ? FSortPattern : 0;
    for (int i = 0; i < 3; ++i) {
        QString caption = U(kColumnCaptions[i]);
        if (i == sorted) caption += FSortAscent ? U(" △") : U(" ▽");
        KWallListViewInfile->SetColumnCaption(i, caption);
    }
}

void TFormMain::SetEntryState(int row, std::uint8_t state) {
    auto* entry = static_cast<TInfileEntry*>(KWallListViewInfile->ItemData(row));
    if (entry->State == state) return;
    entry->State = state;
    KWallListViewInfile->ItemChanged(row);
}

void TFormMain::SetSelectedState(std::uint8_t state) {
    THourglass hourglass;
    const std::vector<int> rows = KWallListViewInfile->SelectedRows();
    TProgressBracket progress(ProgressBar, static_cast<long long>(rows.size()));
    TListUpdate update(KWallListViewInfile);
    for (int row : rows) {
        SetEntryState(row, state);
        progress.Step();
    }
}

void TFormMain::SortList() { KWallListViewInfile->CustomSort(); }

int TFormMain::KWallListViewInfileCompare(const TListItemData* a, const TListItemData* b) const {
    const auto* ea = static_cast<const TInfileEntry*>(a);
    const auto* eb = static_cast<const TInfileEntry*>(b);
    int result;
    switch (FSortPattern) {
        case 1:
            result = CompareKeys(ea->Name(), eb->Name());
            break;
        case 2:
            result = int(ea->State) - int(eb->State);
            break;
        default:
            result = CompareKeys(ea->Dir(), eb->Dir());
            break;
    }
    return FSortAscent ? result : -result;
}

void TFormMain::KWallListViewInfileColumnClick(const TListColumn& column) {
    THourglass hourglass;
    const int t = column.Tag;
    if (t >= 0 && t <= 2) {
        if (FSortPattern == t) {
            FSortAscent = !FSortAscent;
        } else {
            FSortPattern = static_cast<std::uint8_t>(t);
            FSortAscent = true;
        }
    }
    ShowSortMark();
    TListUpdate update(KWallListViewInfile);
    SortList();
}

void TFormMain::DropDstListFileDrop(TDropDst*, const std::vector<std::string>& files, int, int) {
    AddFiles(files);
}

void TFormMain::ButtonOpenClick() {
    if (OpenDialogInfile->exec() != QDialog::Accepted) return;
    std::vector<std::string> files;
    for (const QString& f : OpenDialogInfile->selectedFiles()) {
        const QByteArray bytes = QFile::encodeName(f);
        files.emplace_back(bytes.constData(), bytes.size());
    }
    AddFiles(files);
}

void TFormMain::ButtonListClearClick() { ClearList(); }

void TFormMain::NAllSelectClick() {
    const int n = KWallListViewInfile->ItemCount();
    if (KWallListViewInfile->SelectedCount() == n) return;
    THourglass hourglass;
    TProgressBracket progress(ProgressBar, n);
    TListUpdate update(KWallListViewInfile);
    KWallListViewInfile->SelectAllItems();
    // Each row in turn received the focus mark; the last one keeps it.
    KWallListViewInfile->SetFocusedItem(n - 1);
    progress.Set(n);
}

void TFormMain::NDelClick() {
    THourglass hourglass;
    const std::vector<int> rows = KWallListViewInfile->SelectedRows();
    TProgressBracket progress(ProgressBar, static_cast<long long>(rows.size()));
    {
        TListUpdate update(KWallListViewInfile);
        KWallListViewInfile->DeleteItems(rows);
        progress.Set(static_cast<int>(rows.size()));
    }
    ShowFileCount();
}

void TFormMain::NNotExecClick() { SetSelectedState(esWaiting); }

void TFormMain::NExecEndClick() { SetSelectedState(esDone); }

}  // namespace kt

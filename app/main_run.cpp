// The batch run: one archive for every entry still marked "未処理", with
// the prompts about missing folders, existing archives and failures, the
// states, the progress bar and the row kept in view.
//
// The run pumps messages and shows modal prompts, so the list can change
// under it (rows removed, sorted, states set) and the window can be asked to
// close. It therefore works on the entries themselves, not on row numbers:
// the entries are taken in row order when the run starts, a removed entry is
// passed over, and each entry's row is looked up again after every pump.
#include <QCloseEvent>
#include <QHeaderView>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTimer>
#include <climits>
#include <exception>
#include <filesystem>
#include <optional>
#include <unordered_set>

#include "app/infile_entry.h"
#include "app/main_window.h"
#include "archive/pack_one.h"
#include "platform/file_scan.h"
#include "platform/path_text.h"
#include "platform/qt/busy.h"
#include "platform/qt/prompt.h"
#include "widgets/kwall_list_view.h"

namespace kt {

namespace {

constexpr const char* kStopped = "処理を中断します。";

// The entries of one run, in the row order they had when it started, and
// which of them are still in the list. Removals are seen through the
// model's signals while the entry is still there, so an address freed and
// used again by a newly added row is never taken for the old entry.
class TRunEntries {
public:
    explicit TRunEntries(TKWallListView* list) : FList(list) {
        const int count = list->ItemCount();
        FEntries.reserve(count);
        for (int row = 0; row < count; ++row) FEntries.push_back(list->ItemData(row));
        FAlive.insert(FEntries.begin(), FEntries.end());
        TListItemsModel* model = list->Items();
        FConnections[0] = QObject::connect(
            model, &QAbstractItemModel::rowsAboutToBeRemoved,
            [this](const QModelIndex&, int first, int last) {
                for (int row = first; row <= last; ++row) FAlive.erase(FList->ItemData(row));
            });
        // A reset (clearing, or removing many scattered rows) is seen after
        // the fact: only what is still listed stays alive.
        FConnections[1] = QObject::connect(model, &QAbstractItemModel::modelReset, [this] {
            std::unordered_set<const TListItemData*> still;
            for (int row = 0; row < FList->ItemCount(); ++row) {
                if (FAlive.count(FList->ItemData(row))) still.insert(FList->ItemData(row));
            }
            FAlive.swap(still);
        });
    }
    ~TRunEntries() {
        for (const auto& c : FConnections) QObject::disconnect(c);
    }
    TRunEntries(const TRunEntries&) = delete;
    TRunEntries& operator=(const TRunEntries&) = delete;

    int Count() const { return static_cast<int>(FEntries.size()); }
    TInfileEntry* Entry(int k) const { return static_cast<TInfileEntry*>(FEntries[k]); }

    // The row that entry k is in now; -1 when it was removed.
    int RowOf(int k) {
        TListItemData* data = FEntries[k];
        if (!FAlive.count(data)) return -1;
        if (FHint >= 0 && FHint < FList->ItemCount() && FList->ItemData(FHint) == data)
            return FHint;
        if (k < FList->ItemCount() && FList->ItemData(k) == data) return FHint = k;
        for (int row = 0; row < FList->ItemCount(); ++row) {
            if (FList->ItemData(row) == data) return FHint = row;
        }
        return -1;
    }

private:
    TKWallListView* FList;
    std::vector<TListItemData*> FEntries;
    std::unordered_set<const TListItemData*> FAlive;
    QMetaObject::Connection FConnections[2];
    int FHint = -1;
};

std::string Utf8(const QString& text) {
    const QByteArray bytes = text.toUtf8();
    return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

// One update bracket on the list for the lifetime of the object.
class TListUpdate {
public:
    explicit TListUpdate(TKWallListView* list) : FList(list) { FList->BeginUpdate(); }
    ~TListUpdate() { FList->EndUpdate(); }
    TListUpdate(const TListUpdate&) = delete;
    TListUpdate& operator=(const TListUpdate&) = delete;

private:
    TKWallListView* FList;
};

// The row loses its selection and, when it has it, the focus mark.
void Unselect(TKWallListView* list, int row) {
    if (row < 0) return;
    list->SetSelected(row, false);
    if (list->FocusedItem() == row)
        list->selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
}

// Rows the list shows at once (at least one).
int VisibleRows(TKWallListView* list) {
    const int rowHeight = list->verticalHeader()->defaultSectionSize();
    const int height = list->viewport()->height();
    return std::max(1, rowHeight > 0 ? height / rowHeight : 1);
}

}  // namespace

void TFormMain::TArchiveFileDeleter::operator()(TArchiveFile* archive) const { delete archive; }

void TFormMain::CreateArchiveFile() {
    ArchiveFile.reset(new TArchiveFile);
    ConfigureForBatchRun(*ArchiveFile);
}

void TFormMain::ScrollToEntry(int row) {
    TKWallListView* list = KWallListViewInfile;
    const int n = VisibleRows(list);
    if (list->ItemCount() <= n || row < n - 1) return;
    TListUpdate update(list);
    // The row goes to the second-to-last visible line: where scrolling one
    // row down per entry from the top puts it, also when the list was
    // sorted or scrolled by the user in between.
    QScrollBar* bar = list->verticalScrollBar();
    const int top = row - n + 2;
    if (list->verticalScrollMode() == QAbstractItemView::ScrollPerItem) {
        bar->setValue(top);
    } else {
        bar->setValue(top * list->verticalHeader()->defaultSectionSize());
    }
}

void TFormMain::closeEvent(QCloseEvent* event) {
    if (FRunning) {
        // The run stops after the entry it is working on, then closes the
        // window itself.
        FCloseRequested = true;
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}

void TFormMain::ButtonExecClick() {
    if (FRunning) return;
    TKWallListView* list = KWallListViewInfile;
    const int count = list->ItemCount();
    if (count == 0) return;

    TModalResult overwriteAnswer = mrYes;
    TModalResult failureAnswer = mrYes;
    ProgressBar->setMinimum(0);
    ProgressBar->setValue(0);
    ProgressBar->setMaximum(count);

    const bool selectFolder = RadioButtonSelect->isChecked();
    if (selectFolder && EditSelect->text().isEmpty()) {
        ShowMessage("圧縮ファイル格納先ディレクトリを入力してください。");
        EditSelect->setFocus();
        return;
    }

    const bool lzh = RadioButtonLzh->isChecked();
    const std::string password = Utf8(EditZipPass->text());
    const bool usePassword = !lzh && !password.empty() && FPassEnabled;
    // The password travels inside -P "...", which has no escape: a double
    // quote in it would end the quoting and the archives would get another
    // password than the one typed.
    if (usePassword && password.find('"') != std::string::npos) {
        ShowMessage("パスワードにダブルクォーテーション（\"）は使用できません。\r"
                    "パスワードを変更してから処理してください。");
        EditZipPass->setFocus();
        return;
    }

    if (MessageDlg("圧縮処理を開始します。よろしいですか？", {mbYes, mbNo}) != mrYes) {
        ShowMessage(kStopped);
        return;
    }

    FRunning = true;
    FCloseRequested = false;
    std::optional<THourglass> hourglass;
    hourglass.emplace();
    EnableControls(false);

    const std::string extension = lzh ? ".lzh" : ".zip";
    ArchiveFile->Options().UserOptions = usePassword ? "-P \"" + password + "\"" : std::string();

    std::string fixedFolder;
    if (selectFolder) {
        fixedFolder = Utf8(EditSelect->text());
        if (!fixedFolder.empty() && fixedFolder.back() == '/') fixedFolder.pop_back();
    }

    {
        TListUpdate update(list);
        list->scrollToTop();
    }
    list->setFocus();

    TRunEntries entries(list);
    int lastK = -1;  // the entry selected last

    // Ends the run: controls back, normal cursor, and a close asked for
    // during the run is carried out.
    auto finish = [&] {
        EnableControls(true);
        hourglass.reset();
        FRunning = false;
        if (FCloseRequested) QTimer::singleShot(0, this, [this] { close(); });
    };
    auto stop = [&] {
        ShowMessage(kStopped);
        finish();
    };

    for (int k = 0; k < entries.Count(); ++k) {
        if (FCloseRequested) {
            finish();
            return;
        }
        ProcessMessages();
        if (lastK >= 0) Unselect(list, entries.RowOf(lastK));
        int row = entries.RowOf(k);
        if (row < 0) continue;  // removed while the run went on
        lastK = k;
        ScrollToEntry(row);
        list->SetSelected(row, true);
        list->SetFocusedItem(row);
        ProcessMessages();

        TInfileEntry* entry = entries.Entry(k);
        if ((row = entries.RowOf(k)) < 0 || entry->State != esWaiting) continue;

        const std::string name = Utf8(list->ItemText(row, 1));
        const std::string folder = selectFolder ? fixedFolder : Utf8(list->ItemText(row, 0));
        auto skip = [&] {
            ShowMessage("ファイル(" + folder + "/" + name + ")の圧縮処理はスキップします。");
        };

        // The target folder.
        bool skipped = false;
        switch (TypeOfPath(folder)) {
            case PathType::Folder: break;
            case PathType::Missing: {
                const TModalResult a = MessageDlg(
                    "ディレクトリ(" + folder + ")がありません。\r作成しますか？", {mbYes, mbNo, mbAbort});
                if (a == mrNo) {
                    skipped = true;
                } else if (a == mrYes) {
                    std::error_code ec;
                    std::filesystem::create_directories(folder, ec);
                    if (TypeOfPath(folder) != PathType::Folder) {
                        const TModalResult b =
                            MessageDlg("ディレクトリ(" + folder + ")が作成できませんでした。\r続けますか？",
                                       {mbYes, mbNo, mbAbort});
                        if (b == mrNo) {
                            skipped = true;
                        } else if (b != mrYes) {
                            stop();
                            return;
                        }
                    }
                } else {
                    stop();
                    return;
                }
                break;
            }
            default: {
                const TModalResult a = MessageDlg(
                    "ディレクトリ(" + folder + ")がファイルとして存在するため圧縮処理ができません。\r続けますか？",
                    {mbYes, mbNo, mbAbort});
                if (a == mrNo) {
                    skipped = true;
                } else if (a != mrYes) {
                    stop();
                    return;
                }
                break;
            }
        }
        if (skipped) {
            skip();
            continue;
        }

        // An existing archive is replaced only once its successor is made
        // (the old one stays when packing fails), so Yes deletes nothing here.
        const std::string archivePath = folder + "/" + ReplaceExtension(name, extension);
        if (TypeOfPath(archivePath) != PathType::Missing) {
            if (overwriteAnswer != mrYesToAll && overwriteAnswer != mrNoToAll) {
                overwriteAnswer =
                    MessageDlg("ファイル(" + archivePath + ")が既に存在します。\r上書きしますか？",
                               {mbYes, mbNo, mbAbort, mbNoToAll, mbYesToAll});
            }
            if (overwriteAnswer == mrNo) {
                skip();
                continue;
            }
            if (overwriteAnswer == mrNoToAll) continue;
            // Abort, and a box closed without an answer, stop the run.
            if (overwriteAnswer != mrYes && overwriteAnswer != mrYesToAll) {
                stop();
                return;
            }
        }

        // The prompts above ran their own event loops.
        if ((row = entries.RowOf(k)) < 0 || entry->State != esWaiting) continue;
        SetEntryState(row, esPacking);
        ProcessMessages();
        ProcessMessages();

        int result;
        try {
            result = PackOneFile(*ArchiveFile, nullptr, archivePath, entry->Path);
        } catch (const std::exception& e) {
            // The archive layer's failures (a library that cannot be loaded,
            // ...) end the run like a stop, with their own text.
            if ((row = entries.RowOf(k)) >= 0) SetEntryState(row, esFailed);
            ShowMessage(e.what());
            finish();
            return;
        }
        row = entries.RowOf(k);
        if (result == 0) {
            if (row >= 0) SetEntryState(row, esDone);
        } else {
            if (row >= 0) SetEntryState(row, esFailed);
            if (failureAnswer != mrYesToAll) {
                failureAnswer = MessageDlg("圧縮に失敗しました。\r続けますか？", {mbYes, mbAbort, mbYesToAll});
            }
            if (failureAnswer != mrYes && failureAnswer != mrYesToAll) {
                stop();
                return;
            }
        }
        ProcessMessages();
        ProgressBar->setValue(std::min(k + 1, ProgressBar->maximum()));
    }

    if (FCloseRequested) {
        finish();
        return;
    }
    if (lastK >= 0) Unselect(list, entries.RowOf(lastK));
    ShowMessage("終了しました。");
    ProgressBar->setValue(0);
    finish();
}

}  // namespace kt

// The batch run: one archive for every entry still marked "未処理", with
// the prompts about missing folders, existing archives and failures, the
// states, the progress bar and the row kept in view.
//
// The run pumps messages and shows modal prompts, so the list can change
// under it (rows removed, sorted, states set) and the window can be asked to
// close. It therefore works on the entries themselves, not on row numbers:
// the entries are taken in row order when the run starts, a removed entry is
// passed over, and each entry's row is looked up again after every pump.
//
// With more than one core the entries are packed in worker processes
// (TBatchWorkers), while everything the user sees stays here and in list
// order: the questions, the states, the progress bar and the messages. The
// workers are forked, not started afresh: a new process would load the
// window's libraries again, which costs more than a run of a few hundred
// small files; a forked worker only packs, through the archive layer, and
// touches nothing of the window.
#include <unistd.h>

#include <QCloseEvent>
#include <QHeaderView>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTimer>
#include <QElapsedTimer>
#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <unordered_set>
#include <utility>

#include "app/infile_entry.h"
#include "app/main_window.h"
#include "archive/batch_loop.h"
#include "archive/archiver_factory.h"
#include "archive/batch_run.h"
#include "archive/batch_workers.h"
#include "archive/pack_one.h"
#include "platform/core_budget.h"
#include "platform/foreground_window.h"
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
        FConnections[0] = QObject::connect(model, &QAbstractItemModel::rowsAboutToBeRemoved,
                                           [this](const QModelIndex&, int first, int last) {
                                               for (int row = first; row <= last; ++row)
                                                   FAlive.erase(FList->ItemData(row));
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

TBatchAnswer AnswerOf(TModalResult r) {
    switch (r) {
        case mrYes:
            return TBatchAnswer::Yes;
        case mrNo:
            return TBatchAnswer::No;
        case mrNoToAll:
            return TBatchAnswer::NoToAll;
        case mrYesToAll:
            return TBatchAnswer::YesToAll;
        default:
            return TBatchAnswer::Abort;
    }
}

// Why an entry failed, when the run itself found it; the library's own
// failures have the failure prompt alone.
std::string FaultText(const TEntryOutcome& o) {
    switch (o.Fault) {
        case TEntryFault::SameArchive:
            return "圧縮ファイル(" + o.Archive + ")は今回の処理でファイル(" + o.Other +
                   ")から作成したため、\rファイル(" + o.Source + ")の圧縮で上書きしません。";
        case TEntryFault::ArchiveIsFolder:
            return "圧縮ファイルと同じ名前のフォルダ(" + o.Archive + ")があるため圧縮できません。";
        case TEntryFault::SourceMissing:
            return "圧縮元ファイル(" + o.Source + ")が見つかりません。";
        default:
            return {};
    }
}

// The run's questions, answered in the window's message boxes with the
// texts, buttons and order of the design.
class TWindowQuestions : public TBatchQuestions {
public:
    // Brings the window up to date before a box opens over it; false when
    // the run stopped meanwhile (an earlier entry's failure was answered
    // with "abort"), and the box is not shown.
    std::function<bool()> BeforeAsk;

    TBatchAnswer FolderMissing(const std::string& folder) override {
        return AnswerOf(Ask("ディレクトリ(" + folder + ")がありません。\r作成しますか？",
                            {mbYes, mbNo, mbAbort}));
    }
    TBatchAnswer FolderNotCreated(const std::string& folder) override {
        return AnswerOf(Ask("ディレクトリ(" + folder + ")が作成できませんでした。\r続けますか？",
                            {mbYes, mbNo, mbAbort}));
    }
    TBatchAnswer FolderIsFile(const std::string& folder) override {
        return AnswerOf(Ask("ディレクトリ(" + folder +
                                ")がファイルとして存在するため圧縮処理ができません。\r続けますか？",
                            {mbYes, mbNo, mbAbort}));
    }
    TBatchAnswer ArchiveExists(const std::string& archive) override {
        return AnswerOf(Ask("ファイル(" + archive + ")が既に存在します。\r上書きしますか？",
                            {mbYes, mbNo, mbAbort, mbNoToAll, mbYesToAll}));
    }
    TBatchAnswer PackFailed(const TEntryOutcome& outcome) override {
        const std::string why = FaultText(outcome);
        if (!why.empty()) {
            if (BeforeAsk && !BeforeAsk()) return TBatchAnswer::Abort;
            ShowMessage(why);
        }
        return AnswerOf(Ask("圧縮に失敗しました。\r続けますか？", {mbYes, mbAbort, mbYesToAll}));
    }

private:
    TModalResult Ask(const std::string& text, const TMsgDlgButtons& buttons) {
        if (BeforeAsk && !BeforeAsk()) return mrAbort;
        return MessageDlg(text, buttons);
    }
};

// The message pump of the run, at most about thirty times a second: the
// list follows the progress as closely as an eye can tell, and a run of
// thousands of small files is not spent repainting.
// Before each pump the list is brought to the row being worked on
// (BeforePump): scrolling the list costs a round trip to the display
// server, too much to pay for every entry.
class TRunPump {
public:
    TRunPump() { FClock.start(); }
    void operator()(bool force = false) {
        if (!force && FClock.elapsed() < 30) return;
        if (BeforePump) BeforePump();
        ProcessMessages();
        FClock.restart();
    }
    std::function<void()> BeforePump;

private:
    QElapsedTimer FClock;
};

// The window's side of the run: the rows in the order they had when it
// started, their states, the selection kept on the row being worked on,
// the progress bar, and the boxes saying why an entry is not packed.
class TWindowEntries : public TBatchEntries {
public:
    TWindowEntries(TFormMain& form, TBatchRun& run, TRunEntries& rows, const bool& closeRequested)
        : FForm(form),
          FList(form.KWallListViewInfile),
          FRun(run),
          FRows(rows),
          FCloseRequested(closeRequested) {
        FPump.BeforePump = [this] {
            // The front entry of a run on workers is selected only for what
            // is drawn: each selection is a round of signals and updates,
            // and thousands of small entries pass between two pumps.
            if (FSelectLater >= 0) Select(FSelectLater);
            const int row = FLast >= 0 ? FRows.RowOf(FLast) : -1;
            if (row >= 0) FForm.ScrollToEntry(row);
            // The bar repaints itself at once when its value changes, a
            // round trip to the display: it gets its value here, with the
            // pump, not for every entry.
            QProgressBar* bar = FForm.ProgressBar;
            if (FBarValue >= 0 && bar->value() != std::min(FBarValue, bar->maximum())) {
                // Drawn with the rest of the window by the pump that follows,
                // in one flush, instead of at once with a flush of its own.
                bar->setUpdatesEnabled(false);
                bar->setValue(std::min(FBarValue, bar->maximum()));
                bar->setUpdatesEnabled(true);
            }
        };
        // The bar moves inside a long entry: entries done plus the part of
        // the current one that the library has reported.
        form.ArchiveFile->OnProgress = [this](TArchiveFile*, int, EXTRACTINGINFOEX* eis, bool&) {
            if (eis != nullptr && eis->exinfo.dwFileSize > 0)
                ShowProgress(double(eis->exinfo.dwWriteSize) / eis->exinfo.dwFileSize);
            FPump();
        };
    }

    void Pump(bool force = false) { FPump(force); }
    // An archive layer's failure ended the run, with its own text shown.
    bool LayerFailed() const { return FLayerFailed; }
    void UnselectLast() {
        if (FLast >= 0) Unselect(FList, FRows.RowOf(FLast));
        // An entry to be selected at the next pump is not, but the list
        // still comes to it: it is the last one worked on.
        if (FSelectLater >= 0) FLast = std::exchange(FSelectLater, -1);
    }

    std::size_t Count() const override { return static_cast<std::size_t>(FRows.Count()); }

    // From now on entries are packed by these workers.
    void UseWorkers(TBatchWorkers* workers) { FWorkers = workers; }

    std::optional<std::string> Begin(std::size_t i) override {
        if (FWorkers) return BeginHandOut(i);
        if (FCloseRequested) {
            FRun.Stop();
            return std::nullopt;
        }
        const int k = static_cast<int>(i);
        FPump();
        if (!Select(k)) return std::nullopt;  // removed while the run went on
        FPump();
        if (WaitingRow(k) < 0) return std::nullopt;
        return FRows.Entry(k)->Path();
    }

    // Before a box opens: with workers, the entries handed out before are
    // finished first (their states, failures and questions come first in
    // the list), and the entry asked about is shown.
    bool BeforeAsk() {
        if (FWorkers && !FFlushing) {
            SettleAll();
            if (FRun.Stopped()) return false;
            Select(FPreparing);
        }
        FPump(true);
        return true;
    }

    // After the loop. A run that went through settles the entries still
    // out; a stopped one settles nothing more: entries not begun stay
    // waiting, and the archives the workers made for it are removed.
    void Conclude() {
        if (!FWorkers) return;
        SettleAll();
        FWorkers->StopHanding();
        while (FWorkers->Busy() > 0) {
            if (std::optional<TWorkerOutcome> r = FWorkers->Wait(kStepMs)) Arrived(std::move(*r));
            FPump();
        }
        for (auto& [i, slot] : FSlots) {
            if (slot.Done && !slot.Done->Temporary.empty()) unlink(slot.Done->Temporary.c_str());
            const int row = FRows.RowOf(static_cast<int>(i));
            if (row >= 0 && FRows.Entry(static_cast<int>(i))->State == esPacking)
                FForm.SetEntryState(row, esWaiting);
        }
        FSlots.clear();
    }

    void NotPacked(std::size_t i, const TBatchRun::TPlan& plan) override {
        if (FWorkers && plan.Step != TBatchRun::TStep::SkipSilently) {
            // Said in list order, after the entries handed out before.
            SettleAll();
            if (FRun.Stopped()) return;
            Select(static_cast<int>(i));
        }
        switch (plan.Step) {
            case TBatchRun::TStep::Skip:
                FPump(true);
                ShowMessage("ファイル(" + JoinFolder(plan.Folder, NameOf(plan.Source)) +
                            ")の圧縮処理はスキップします。");
                break;
            case TBatchRun::TStep::PassOver:
                FPump(true);
                ShowMessage(
                    "ファイル(" + plan.Source +
                    ")は作成する圧縮ファイルそのものであるため、圧縮処理はスキップします。");
                break;
            case TBatchRun::TStep::Done:
                // Listed twice: its archive was made from it a moment ago.
                if (const int row = WaitingRow(static_cast<int>(i)); row >= 0) {
                    FForm.SetEntryState(row, esDone);
                    Over(i);
                }
                break;
            default:
                break;
        }
    }

    std::optional<TEntryOutcome> Pack(std::size_t i, const TBatchRun::TPlan& plan) override {
        const int k = static_cast<int>(i);
        // Settled in list order by Flush.
        if (FWorkers && WaitingRow(k) >= 0 && HandOut(i, plan)) return std::nullopt;
        if (FWorkers && !FRun.Stopped()) {
            // Every worker died: packed here, after the entries out.
            SettleAll();
            if (!FRun.Stopped()) Select(k);
        }
        // The questions of Prepare ran their own event loops.
        const int row = WaitingRow(k);
        if (row < 0 || FRun.Stopped()) {
            FRun.Abandon(plan);
            return std::nullopt;
        }
        FPacking = static_cast<int>(i);
        FForm.SetEntryState(row, esPacking);
        // A long entry shows "圧縮中" at the latest with the library's
        // first progress report.
        FPump();
        return TBatchRun::Pack(*FForm.ArchiveFile, plan, FForm.FWindowHandle);
    }

    bool Settle(std::size_t i, const TEntryOutcome& outcome) override {
        if (FWorkers && !FFlushing) {
            // A failure found before packing: after those handed out before.
            SettleAll();
            if (FRun.Stopped()) return false;
            Select(static_cast<int>(i));
        }
        const int k = static_cast<int>(i);
        const bool packed = FPacking == k;
        FPacking = -1;
        const int row = packed ? FRows.RowOf(k) : WaitingRow(k);
        if (outcome.Fault == TEntryFault::Layer) {
            // The archive layer's failures (a library that cannot be
            // loaded, ...) end the run like a stop, with their own text.
            if (row >= 0) FForm.SetEntryState(row, esFailed);
            FPump(true);
            ShowMessage(outcome.Report);
            FLayerFailed = true;
            FRun.Stop();
            return false;
        }
        // A failure found before packing is not asked about once its row
        // has gone; a pack's outcome is, the archive being made or not.
        if (row < 0 && !packed) return false;
        if (row >= 0) FForm.SetEntryState(row, outcome.Ok() ? esDone : esFailed);
        return true;
    }

    void Over(std::size_t i) override {
        FDone = std::min(static_cast<int>(i) + 1, FRows.Count());
        ShowProgress(0);
        FPump();
    }

private:
    // The bar's value from now on: the entries done and `part` (0 to 1) of
    // the one being packed. Shown at the next pump.
    void ShowProgress(double part) {
        FBarValue = FDone * TFormMain::kProgressSteps +
                    static_cast<int>(std::min(1.0, part) * TFormMain::kProgressSteps);
    }

    // The row of entry k while it is listed and waiting, else -1.
    int WaitingRow(int k) {
        const int row = FRows.RowOf(k);
        return row >= 0 && FRows.Entry(k)->State == esWaiting ? row : -1;
    }

    // Moves the selection to entry k's row; false when it has gone.
    bool Select(int k) {
        FSelectLater = -1;
        UnselectLast();
        const int row = FRows.RowOf(k);
        if (row < 0) return false;
        FLast = k;
        FList->SetSelected(row, true);
        FList->SetFocusedItem(row);
        return true;
    }

    // ---- Packing in workers ----

    // How long one wait for the workers lasts before the window is pumped.
    static constexpr int kStepMs = 10;
    // Entries handed out beyond the one shown at most, for each worker:
    // what waits to be settled (outcomes, temporary archives) stays bounded
    // by the workers when one entry takes long and the others go on.
    static constexpr std::size_t kAheadPerWorker = 128;

    struct TSlot {
        TBatchRun::TPlan Plan;
        std::optional<TWorkerOutcome> Done;
    };

    std::optional<std::string> BeginHandOut(std::size_t i) {
        const int k = static_cast<int>(i);
        FPreparing = k;
        const std::size_t ahead = kAheadPerWorker * static_cast<std::size_t>(FWorkers->Count());
        while (!FRun.Stopped() && !FSlots.empty() && i - FSlots.begin()->first >= ahead) WaitStep();
        FPump();
        if (FCloseRequested) {
            // The run stops after the entry shown, as when packing here.
            while (!FRun.Stopped() && !FSlots.empty()) WaitStep();
            FRun.Stop();
            return std::nullopt;
        }
        if (FRun.Stopped() || WaitingRow(k) < 0) return std::nullopt;
        // A file listed twice is planned again only once its first entry
        // is settled (its archive then stands).
        const std::string source = FRows.Entry(k)->Path();
        while (!FRun.Stopped() && !FSlots.empty() && FRun.Unsettled(source)) WaitStep();
        if (FRun.Stopped() || WaitingRow(k) < 0) return std::nullopt;
        return source;
    }

    // Hands entry i to a worker once one has room; false when it cannot
    // (the run stopped, the row went, every worker died).
    bool HandOut(std::size_t i, const TBatchRun::TPlan& plan) {
        const std::uint64_t bytes = plan.SourceBytes;
        while (!FRun.Stopped() && FWorkers->Busy() > 0 && !FWorkers->HasRoom(bytes)) WaitStep();
        if (FRun.Stopped() || WaitingRow(static_cast<int>(i)) < 0 || !FWorkers->HasRoom(bytes))
            return false;
        FWorkers->Hand(i, plan, bytes);
        FSlots[i].Plan = plan;
        ShowFront();
        return true;
    }

    // Waits a moment for the workers, settles what came, keeps the window
    // alive. Called when nothing more can be handed out for now.
    void WaitStep() {
        if (FWorkers->Busy() > 0) {
            FWorkers->ReleaseIdleCores();
            if (std::optional<TWorkerOutcome> r = FWorkers->Wait(kStepMs)) {
                Arrived(std::move(*r));
                Flush();
            }
        }
        if (!FSlots.empty() && !FSlots.begin()->second.Done) {
            if (std::optional<double> part = FWorkers->Progress(FSlots.begin()->first))
                ShowProgress(*part);
        }
        FPump();
    }

    void Arrived(TWorkerOutcome r) {
        auto it = FSlots.find(r.Index);
        if (it != FSlots.end()) {
            it->second.Done = std::move(r);
        } else if (!r.Temporary.empty()) {
            unlink(r.Temporary.c_str());
        }
    }

    // Settles every entry handed out, in list order, unless the run stops.
    void SettleAll() {
        if (FFlushing) return;
        while (!FRun.Stopped() && !FSlots.empty()) WaitStep();
    }

    // The first entry of those handed out: selected and shown "圧縮中".
    void ShowFront() {
        if (FSlots.empty() || FRun.Stopped()) return;
        const int k = static_cast<int>(FSlots.begin()->first);
        if (k == FFront) return;
        FFront = k;
        const int row = FRows.RowOf(k);
        if (row < 0) return;
        FSelectLater = k;
        if (FRows.Entry(k)->State == esWaiting) FForm.SetEntryState(row, esPacking);
    }

    // Settles the entries whose outcomes came, in list order: the archive
    // goes in place, the state and the failure question follow as when
    // packing here.
    void Flush() {
        if (FFlushing) return;
        FFlushing = true;
        while (!FRun.Stopped() && !FSlots.empty() && FSlots.begin()->second.Done) {
            const std::size_t i = FSlots.begin()->first;
            const TBatchRun::TPlan plan = std::move(FSlots.begin()->second.Plan);
            TWorkerOutcome done = std::move(*FSlots.begin()->second.Done);
            FSlots.erase(FSlots.begin());
            TEntryOutcome& o = done.Outcome;
            o.Source = plan.Source;
            o.Archive = plan.Archive;
            if (o.Ok() && !done.Temporary.empty()) {
                if (const int code = PlacePacked(done.Temporary, plan.Archive); code != 0) {
                    o.Fault = TEntryFault::Library;
                    o.Code = code;
                }
            }
            FPacking = static_cast<int>(i);
            if (Settle(i, o) && FRun.Finish(o)) Over(i);
            // A close asked for stops the run after the entry shown.
            if (FCloseRequested) FRun.Stop();
            ShowFront();
        }
        FFlushing = false;
    }

    TFormMain& FForm;
    TKWallListView* FList;
    TBatchRun& FRun;
    TRunEntries& FRows;
    const bool& FCloseRequested;
    TRunPump FPump;
    int FLast = -1;         // the entry selected last
    int FPacking = -1;      // the entry being packed
    int FDone = 0;          // entries whose progress is complete
    int FBarValue = -1;     // for the bar at the next pump; -1: as it is
    int FSelectLater = -1;  // the entry to select at the next pump; -1: none
    bool FLayerFailed = false;
    TBatchWorkers* FWorkers = nullptr;
    // Entries handed out and not settled, in list order.
    std::map<std::size_t, TSlot> FSlots;
    int FPreparing = -1;  // the entry whose questions are asked
    int FFront = -1;      // the first entry handed out, shown "圧縮中"
    bool FFlushing = false;
};

// Workers for a run over `waiting` entries: one per core (or as the window
// was told), none when fewer than two would work or the format's library
// cannot be loaded (packing here then says why). `loaded` keeps the
// library loaded in this process for the run: the workers get it with
// their copy of it and need not load it again.
std::unique_ptr<TBatchWorkers> StartWorkers(int asked, int waiting, const TBatchSettings& settings,
                                            std::unique_ptr<TArchiver>& loaded) {
    const int workers = std::min(asked > 0 ? asked : CoreCount(), waiting);
    if (workers < 2) return nullptr;
    try {
        loaded = CreateArchiver(settings.Type);
        loaded->CheckPackDLL();
    } catch (const std::exception&) {
        return nullptr;
    }
    return std::make_unique<TBatchWorkers>(workers, settings);
}

}  // namespace

void TFormMain::TArchiveFileDeleter::operator()(TArchiveFile* archive) const { delete archive; }

void TFormMain::CreateArchiveFile() {
    // Configured by each run (TBatchRun::Configure), once.
    ArchiveFile.reset(new TArchiveFile);
    // The window's handle for the archivers: a library that wants the window
    // in front (the TAR driver after each command) asks through it.
    static const UINT foreground = RegisterWindowMessage(KT_SET_FOREGROUND_MESSAGE_NAME);
    FWindowHandle = CreateMessageWindow(
        [](HWND, UINT msg, WPARAM, LPARAM, void* user) -> LRESULT {
            if (msg != foreground) return 0;
            auto* form = static_cast<TFormMain*>(user);
            if (form->isMinimized()) form->showNormal();
            form->raise();
            form->activateWindow();
            return 1;
        },
        this);
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

    ProgressBar->setMinimum(0);
    ProgressBar->setValue(0);
    ProgressBar->setMaximum(count * kProgressSteps);

    TBatchSettings settings;
    settings.Type = RadioButtonLzh->isChecked() ? atLha : atZip;
    settings.NextToSource = !RadioButtonSelect->isChecked();
    settings.ChosenFolder = ChosenFolder();
    if (settings.Type == atZip && FPassEnabled) settings.Password = Utf8(EditZipPass->text());
    TWindowQuestions questions;
    TBatchRun run(settings, questions);

    switch (run.SetupFault()) {
        case TBatchSetupFault::NoChosenFolder:
            ShowMessage("圧縮ファイル格納先ディレクトリを入力してください。");
            EditSelect->setFocus();
            return;
        case TBatchSetupFault::PasswordHasQuote:
            ShowMessage(
                "パスワードにダブルクォーテーション（\"）は使用できません。\r"
                "パスワードを変更してから処理してください。");
            EditZipPass->setFocus();
            return;
        case TBatchSetupFault::None:
            break;
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
    run.Configure(*ArchiveFile);
    {
        TListUpdate update(list);
        list->scrollToTop();
    }
    list->setFocus();
    // The list follows the run by ScrollToEntry alone: its own scrolling to
    // the current row would cost the display round trip for every entry.
    const bool autoScroll = list->hasAutoScroll();
    list->setAutoScroll(false);

    TRunEntries rows(list);
    TWindowEntries entries(*this, run, rows, FCloseRequested);
    questions.BeforeAsk = [&] { return entries.BeforeAsk(); };
    int waiting = 0;
    for (int k = 0; k < rows.Count(); ++k) waiting += rows.Entry(k)->State == esWaiting;
    std::unique_ptr<TArchiver> loaded;
    std::unique_ptr<TBatchWorkers> workers = StartWorkers(FRunWorkers, waiting, settings, loaded);
    entries.UseWorkers(workers.get());
    RunBatch(run, entries);
    entries.Conclude();
    workers.reset();
    const bool ended = !run.Stopped();

    if (!ended && !FCloseRequested && !entries.LayerFailed()) {
        entries.Pump(true);
        ShowMessage(kStopped);
    } else if (ended && !FCloseRequested) {
        entries.UnselectLast();
        entries.Pump(true);
        ShowMessage("終了しました。");
        ProgressBar->setValue(0);
    }
    // Controls back, normal cursor, and a close asked for during the run
    // is carried out.
    ArchiveFile->OnProgress = nullptr;
    list->setAutoScroll(autoScroll);
    EnableControls(true);
    hourglass.reset();
    FRunning = false;
    if (FCloseRequested) QTimer::singleShot(0, this, [this] { close(); });
}

}  // namespace kt

// Times the window's run as a person starts it: the program's window on the
// display it is given (run it under xvfb-run, not offscreen), every file of
// a folder listed, ZIP or LZH chosen, 処理(&R) clicked and the real message
// boxes answered by clicking. Prints the seconds from the click to the end
// message and the processor time the process spent.
//
// With --fail-middle the source of the middle row is removed after listing:
// the run then fails there, and the bench says whether the failure prompt
// came at that entry with every earlier row settled and no archive of a
// later row made, answers 中止(&A) and says what the stop left.
//
//   xvfb-run build/bin/window_run_bench [--fail-middle] zip|lzh FOLDER
#include <sys/resource.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <cstdio>
#include <filesystem>

#include "app/infile_entry.h"
#include "app/main_settings.h"
#include "app/main_window.h"
#include "platform/path_text.h"
#include "tests/app/box_clicker.h"
#include "widgets/kwall_list_view.h"

namespace {

double CpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// The archive a source gets next to itself.
std::string ArchiveOf(const std::string& source, const std::string& format) {
    return kt::JoinFolder(kt::FolderOf(source),
                          kt::ReplaceExtension(kt::NameOf(source), "." + format));
}

// The run with the middle source gone: what the user meets at the failure.
int FailMiddle(kt::TFormMain& form, const std::string& format) {
    kt::TKWallListView* list = form.KWallListViewInfile;
    const int count = list->ItemCount(), middle = count / 2;
    auto source = [&](int row) {
        return static_cast<kt::TInfileEntry*>(list->ItemData(row))->Path();
    };
    std::filesystem::rename(source(middle), source(middle) + ".gone");
    kt::test::TBoxClicker boxes;
    boxes.Script = {"はい(&Y)", "OK", "中止(&A)", "OK"};
    int unsettled = -1, laterArchives = -1, laterBegun = -1;
    boxes.OnBox = [&](const std::string& text) {
        if (text.rfind("圧縮に失敗しました。", 0) != 0) return;
        unsettled = laterArchives = laterBegun = 0;
        for (int r = 0; r < middle; ++r) unsettled += list->ItemText(r, 2) != "完了";
        for (int r = middle + 1; r < count; ++r) {
            laterArchives += std::filesystem::exists(ArchiveOf(source(r), format));
            laterBegun += list->ItemText(r, 2) != "未処理";
        }
    };
    QTest::mouseClick(form.ButtonExec, Qt::LeftButton);
    std::filesystem::rename(source(middle) + ".gone", source(middle));
    int laterAfter = 0;
    for (int r = middle + 1; r < count; ++r)
        laterAfter += std::filesystem::exists(ArchiveOf(source(r), format));
    std::printf(
        "entry %d of %d failed: %s; at the failure prompt %d earlier rows unsettled, "
        "%d later archives, %d later rows begun; after 中止 %d later archives\n",
        middle + 1, count, unsettled < 0 ? "no failure prompt" : "prompt shown", unsettled,
        laterArchives, laterBegun, laterAfter);
    for (const std::string& p : boxes.Problems) std::fprintf(stderr, "%s\n", p.c_str());
    return unsettled == 0 && laterArchives == 0 && laterBegun == 0 && laterAfter == 0 &&
                   boxes.Problems.empty()
               ? 0
               : 1;
}

}  // namespace

int main(int argc, char** argv) {
    const bool failMiddle = argc == 4 && std::string(argv[1]) == "--fail-middle";
    if (argc != 3 && !failMiddle) {
        std::fprintf(stderr, "usage: window_run_bench [--fail-middle] zip|lzh FOLDER\n");
        return 2;
    }
    QApplication app(argc, argv);
    const std::string format = argv[argc - 2], folder = argv[argc - 1];
    // Settings of a fresh user, kept out of the program folder.
    const std::string ini =
        (std::filesystem::temp_directory_path() / "kt-window-bench.ini").string();
    std::filesystem::remove(ini);
    kt::SetSettingsFileOverride(ini);

    kt::TFormMain form({folder});
    form.show();
    if (!QTest::qWaitForWindowExposed(&form)) std::fprintf(stderr, "the window was not shown\n");
    QApplication::processEvents();
    QTest::mouseClick(format == "lzh" ? form.RadioButtonLzh : form.RadioButtonZip, Qt::LeftButton);
    QTest::mouseClick(form.RadioButtonInfile, Qt::LeftButton);
    if (failMiddle) return FailMiddle(form, format);

    kt::test::TBoxClicker boxes;
    boxes.Script = {"はい(&Y)", "OK"};
    QElapsedTimer clock;
    const double cpu0 = CpuSeconds();
    clock.start();
    QTest::mouseClick(form.ButtonExec, Qt::LeftButton);
    const double seconds = clock.nsecsElapsed() / 1e9;
    const double cpu = CpuSeconds() - cpu0;
    if (!boxes.Problems.empty() || boxes.Texts.size() != 2) {
        for (const std::string& p : boxes.Problems) std::fprintf(stderr, "%s\n", p.c_str());
        std::fprintf(stderr, "unexpected boxes: %zu\n", boxes.Texts.size());
        return 1;
    }
    std::printf("%d entries %.3f s %.3f s cpu\n", form.KWallListViewInfile->ItemCount(), seconds,
                cpu);
    return 0;
}

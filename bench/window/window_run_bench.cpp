// Times the window's run as a person starts it: the program's window on the
// display it is given (run it under xvfb-run, not offscreen), every file of
// a folder listed, ZIP or LZH chosen, 処理(&R) clicked and the real message
// boxes answered by clicking. Prints the seconds from the click to the end
// message and the processor time the process spent.
//
//   xvfb-run build/bin/window_run_bench zip|lzh FOLDER
#include <sys/resource.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <cstdio>
#include <filesystem>

#include "app/main_settings.h"
#include "app/main_window.h"
#include "tests/app/box_clicker.h"
#include "widgets/kwall_list_view.h"

namespace {

double CpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: window_run_bench zip|lzh FOLDER\n");
        return 2;
    }
    QApplication app(argc, argv);
    const std::string format = argv[1], folder = argv[2];
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

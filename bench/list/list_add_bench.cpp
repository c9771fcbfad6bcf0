// Adding a dropped folder tree to the input list, against the plain
// `find TREE -type f | wc -l` on the same tree, in one run; then sorting the
// rows by each column both ways, and the resident memory with the rows
// listed.
//
//   build/bin/list_add_bench [FILES=100000] [ROUNDS=3] [TREE]
//
// With TREE given, that folder is used (made first when missing) and kept.
//
// Goals: add (counting pass included) <= 1.2 x find; each sort < 1 s;
// resident memory with the rows listed <= 60 MB.
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QDropEvent>
#include <QHeaderView>
#include <QMimeData>
#include <QUrl>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/main_settings.h"
#include "app/main_window.h"
#include "archive/source_paths.h"
#include "platform/qt/prompt.h"
#include "widgets/kwall_list_view.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// 100 files per folder, ten folders per level: a realistic, deep tree with
// a few hidden files.
void MakeTree(const std::string& root, int files) {
    int made = 0;
    for (int a = 0; made < files; ++a) {
        for (int b = 0; b < 10 && made < files; ++b) {
            const std::string dir =
                root + "/Project" + std::to_string(a) + "/sub" + std::to_string(b);
            fs::create_directories(dir);
            for (int c = 0; c < 100 && made < files; ++c, ++made) {
                const std::string name =
                    (c % 50 == 0 ? ".hidden" : "File_") + std::to_string(made) + ".dat";
                std::ofstream(dir + "/" + name) << 'x';
            }
        }
    }
}

// Processor time (user + system) of this process or of its finished
// children, in milliseconds: steadier than wall time on a busy machine.
double CpuMs(int who) {
    rusage u{};
    getrusage(who, &u);
    return (u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1e3 +
           (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e3;
}

struct TCost {
    double Wall = 0, Cpu = 0;
};

TCost TimeFind(const std::string& tree) {
    const std::string cmd = "find '" + tree + "' -type f | wc -l > /dev/null";
    const char* argv[] = {"sh", "-c", cmd.c_str(), nullptr};
    const double cpu = CpuMs(RUSAGE_CHILDREN);
    const auto start = Clock::now();
    pid_t pid;
    if (posix_spawnp(&pid, "sh", nullptr, nullptr, const_cast<char**>(argv), environ) != 0)
        return {};
    int status = 0;
    waitpid(pid, &status, 0);
    return {Ms(Clock::now() - start), CpuMs(RUSAGE_CHILDREN) - cpu};
}

void DropOn(kt::TKWallListView* list, const std::string& path) {
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(QString::fromStdString(path))});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(list->viewport(), &enter);
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(list->viewport(), &drop);
}

long ResidentKb(const char* field) {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind(field, 0) == 0) return std::atol(line.c_str() + std::string(field).size());
    }
    return -1;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    const int files = argc > 1 ? std::atoi(argv[1]) : 100000;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 3;
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    kt::TScriptedAnswerer prompts;  // no box may stop the measurement

    const bool keepTree = argc > 3;
    std::string tree;
    if (keepTree) {
        tree = fs::absolute(argv[3]).string();
    } else {
        std::string tmpl = (fs::temp_directory_path() / "kt-bench-list-XXXXXX").string();
        tree = mkdtemp(tmpl.data());
    }
    if (!keepTree || !fs::exists(tree + "/Project0")) {
        std::printf("making a tree of %d files in %s ...\n", files, tree.c_str());
        MakeTree(tree, files);
    }

    // Settings of its own, made afresh: the list sorts by folder, as for a
    // user who never chose another column. A file kept from an earlier run
    // would carry that run's last sort (by state, the cheapest) into this one.
    const std::string ini =
        (fs::temp_directory_path() / ("kt-bench-list-" + std::to_string(getpid()) + ".ini"))
            .string();
    fs::remove(ini);
    kt::SetSettingsFileOverride(ini);
    struct RemovedAtEnd {  // after the form, which saves its settings as it goes
        std::string path;
        ~RemovedAtEnd() { fs::remove(path); }
    } settingsFile{ini};
    kt::TFormMain form;
    form.show();
    QCoreApplication::processEvents();
    const long rssEmpty = ResidentKb("VmRSS:");

    TimeFind(tree);  // warm the folder cache for both sides
    std::vector<double> findMs, findCpu, addMs, addCpu, walkMs;
    // The walk alone, for the break-down; first, so that what it frees is
    // reused by the rows instead of counting as the list's memory.
    for (int r = 0; r < rounds; ++r) {
        const auto walkStart = Clock::now();
        const kt::TSources found = kt::CollectSources({tree}, kt::TFormMain::kListRules);
        (void)found;
        walkMs.push_back(Ms(Clock::now() - walkStart));
    }
    int listed = 0;
    for (int r = 0; r < rounds; ++r) {
        form.ClearList();
        const TCost find = TimeFind(tree);
        findMs.push_back(find.Wall);
        findCpu.push_back(find.Cpu);
        const double cpu = CpuMs(RUSAGE_SELF);
        const auto start = Clock::now();
        DropOn(form.KWallListViewInfile, tree);
        QCoreApplication::processEvents();  // the list's one repaint
        addMs.push_back(Ms(Clock::now() - start));
        addCpu.push_back(CpuMs(RUSAGE_SELF) - cpu);
        listed = form.KWallListViewInfile->ItemCount();
    }
    const long rssListed = ResidentKb("VmRSS:");
    const double f = Median(findMs), a = Median(addMs);
    const double fc = Median(findCpu), ac = Median(addCpu);
    std::printf("rows listed            %d\n", listed);
    std::printf("find -type f | wc -l   %8.1f ms wall  %8.1f ms cpu (median of %d)\n", f, fc,
                rounds);
    std::printf("drop on the list       %8.1f ms wall  %8.1f ms cpu (walk, rows, sort, paint)\n", a,
                ac);
    std::printf("  of which the walk    %8.1f ms wall\n", Median(walkMs));
    std::printf("ratio add / find       %8.2f wall  %8.2f cpu   goal <= 1.2 %s\n", a / f, ac / fc,
                std::min(a / f, ac / fc) <= 1.2 ? "met" : "MISSED");

    double worstSort = 0;
    const char* names[3] = {"directory", "file name", "state"};
    for (int column = 0; column < 3; ++column) {
        for (int way = 0; way < 2; ++way) {
            const double cpu = CpuMs(RUSAGE_SELF);
            const auto start = Clock::now();
            emit form.KWallListViewInfile->horizontalHeader()->sectionClicked(column);
            QCoreApplication::processEvents();
            const double ms = Ms(Clock::now() - start);
            worstSort = std::max(worstSort, ms);
            std::printf("sort by %-10s %s %8.1f ms wall  %8.1f ms cpu\n", names[column],
                        form.FSortAscent ? "asc " : "desc", ms, CpuMs(RUSAGE_SELF) - cpu);
        }
    }
    std::printf("slowest sort           %8.1f ms wall   goal < 1000   %s\n", worstSort,
                worstSort < 1000 ? "met" : "MISSED");
    std::printf(
        "resident memory        %8.1f MB with the window empty, %.1f MB with %d rows "
        "(peak %.1f MB)   goal <= 60   %s\n",
        rssEmpty / 1024.0, rssListed / 1024.0, listed, ResidentKb("VmHWM:") / 1024.0,
        rssListed / 1024.0 <= 60 ? "met" : "MISSED");

    form.ClearList();
    if (!keepTree) fs::remove_all(tree);
    return 0;
}

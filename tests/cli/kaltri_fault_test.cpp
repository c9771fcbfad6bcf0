// Every write path of kaltri under a failing disk: the N-th write, fsync or
// rename fails (ENOSPC or EIO) for N = 1, 2, ... until the run no longer
// meets the fault. After each failed run the sources and any old archive or
// existing file are byte-identical, no temporary file is left, and the
// error is named to the user.
#include <gtest/gtest.h>

#include <map>

#include "kaltri_process.h"
#include "tests/support/files.h"
#include "tests/support/temp_folder.h"

namespace {

using namespace kaltri_test;

// Every file below root, by relative path, with its bytes.
std::map<std::string, std::string> Snapshot(const std::string& root) {
    return kt::test::ReadTree(root);
}

bool IsTemporary(const std::string& rel) {
    std::string leaf = fs::path(rel).filename().string();
    return leaf.size() > 4 && leaf[0] == '.' && leaf.substr(leaf.size() - 4) == ".tmp";
}

struct Tally {
    int runs = 0;     // runs that met an injected fault
    int damaged = 0;  // of those, runs that changed a byte they must not
};

Tally& Total() {
    static Tally t;
    return t;
}

// One write path: how to set it up, the command, and which files a failed
// run may add (complete members of an extraction) besides the snapshot.
struct Path {
    std::string name;
    std::function<void(Tree&)> prepare;
    std::function<std::string(Tree&)> command;
    // Whether a file a failed run added is whole: an archive of another
    // source that was finished before the fault, say.
    std::function<bool(Tree&, const std::string& rel)> wholeNewFile =
        [](Tree&, const std::string&) { return false; };
};

// A new archive is whole when kaltri tests it sound.
bool SoundArchive(Tree& t, const std::string& rel) {
    return Sh(kKaltri + " test " + Q(t.root + "/" + rel)).code == 0;
}

void RunWithFaults(const Path& path) {
    for (const char* kind : {"WRITE", "FSYNC", "RENAME"}) {
        for (const char* error : {"ENOSPC", "EIO"}) {
            for (int n = 1; n <= 40; ++n) {
                Tree t;
                path.prepare(t);
                const auto before = Snapshot(t.root);
                kt::test::TempFolder logFolder;
                const std::string log = logFolder.Path() + "/fired";
                Result r = Sh(std::string("KT_FAULT_") + kind + "=" + std::to_string(n) +
                              " KT_FAULT_ERRNO=" + error + " KT_FAULT_LOG=" + Q(log) + " " +
                              path.command(t));
                // The hook says whether the fault met a call; a run that met
                // it and still reports success has dropped a failure.
                if (!fs::exists(log)) break;  // the fault was past the run's last call
                ++Total().runs;
                const std::string what =
                    path.name + " " + kind + "=" + std::to_string(n) + " " + error;
                if (r.code == 0) {
                    ++Total().damaged;
                    ADD_FAILURE() << what << ": the fault fired, yet the run reported success\n"
                                  << r.out;
                    continue;
                }
                bool intact = true;
                const auto after = Snapshot(t.root);
                for (const auto& [rel, bytes] : before) {
                    auto it = after.find(rel);
                    if (it == after.end() || it->second != bytes) {
                        intact = false;
                        ADD_FAILURE() << what << ": " << rel << " changed or lost\n" << r.out;
                    }
                }
                for (const auto& [rel, bytes] : after) {
                    (void)bytes;
                    if (before.count(rel)) continue;
                    if (IsTemporary(rel) || !path.wholeNewFile(t, rel)) {
                        intact = false;
                        ADD_FAILURE() << what << ": left behind " << rel << "\n" << r.out;
                    }
                }
                if (!intact) ++Total().damaged;
                const std::string text =
                    std::string(error) == "EIO" ? "Input/output error" : "No space left on device";
                EXPECT_NE(std::string::npos, r.out.find(text))
                    << what << ": the error does not reach the user\n"
                    << r.out;
            }
        }
    }
    std::cout << "[faults] " << path.name << ": " << Total().runs << " faulty runs so far, "
              << Total().damaged << " changed a byte\n";
}

const std::string kBig = [] {
    std::string s;
    for (int i = 0; s.size() < 1500000; ++i)
        s += std::to_string(i * 7919 % 100003) + (i % 11 ? " " : "\n");
    return s;
}();

void Sources(Tree& t) {
    t.Make("src/a.txt", kBig);
    t.Make("src/b.dat", kBig.substr(0, 70000));
}

TEST(KaltriFaults, PackingANewArchiveNeverLeavesAPartOfIt) {
    for (const char* format : {"lzh", "zip"}) {
        RunWithFaults({std::string("pack ") + format, Sources,
                       [format](Tree& t) {
                           return kKaltri + " pack -j1 --format " + format + " " +
                                  Q(t.root + "/src");
                       },
                       SoundArchive});
    }
}

TEST(KaltriFaults, ReplacingAnArchiveKeepsTheOldOneWhole) {
    for (const char* format : {"lzh", "zip"}) {
        RunWithFaults({std::string("pack --overwrite all ") + format,
                       [format](Tree& t) {
                           Sources(t);
                           Result r = Sh(kKaltri + " pack -j1 --format " + format + " " +
                                         Q(t.root + "/src"));
                           ASSERT_EQ(0, r.code) << r.out;
                           t.Make("src/a.txt", kBig + "changed\n");
                       },
                       [format](Tree& t) {
                           return kKaltri + " pack -j1 --overwrite all --format " + format + " " +
                                  Q(t.root + "/src/a.txt");
                       }});
    }
}

TEST(KaltriFaults, ExtractingKeepsExistingFilesAndAddsOnlyWholeOnes) {
    // Each reading library, its archive made by a peer: b.dat first, small
    // enough to sit whole in a writer's buffer until the file is finished
    // (where a dropped failure once left it empty), then a.txt.
    const std::pair<const char*, std::string> makers[] = {
        {"lzh", "lha -aq a.lzh b.dat a.txt"},
        {"zip", "zip -q a.zip b.dat a.txt"},
        {"tar", "tar -cf a.tar b.dat a.txt"},
        {"cab", "gcab -c -z a.cab b.dat a.txt"},
        {"arj", "arj a -i -y a.arj b.dat a.txt >/dev/null"},
    };
    for (const auto& maker : makers) {
        const char* format = maker.first;
        const std::string& pack = maker.second;
        Tree made;
        Sources(made);
        ASSERT_EQ(0, Sh("cd " + Q(made.root + "/src") + " && " + pack).code) << pack;
        const std::string archive = Read(made.root + "/src/a." + format);
        RunWithFaults({std::string("extract ") + format,
                       [&](Tree& t) {
                           t.Make(std::string("x.") + format, archive);
                           t.Make("out/a.txt", "the user's own file\n");
                       },
                       [format](Tree& t) {
                           return kKaltri + " extract --overwrite all " +
                                  Q(t.root + "/x." + format) + " -o " + Q(t.root + "/out");
                       },
                       // b.dat may come out before the fault, but only whole.
                       [](Tree& t, const std::string& rel) {
                           return rel == "out/b.dat" &&
                                  Read(t.root + "/" + rel) == kBig.substr(0, 70000);
                       }});
    }
}

}  // namespace

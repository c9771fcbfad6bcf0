// Every hostile name of the table, in every encoding of every format we
// read, extracted through kaltri and through the library's own entry into a
// folder deep inside a scratch tree. Whatever the outcome (refused, cut,
// cleaned into the target), nothing outside the target may change: the
// rest of the tree, a sibling folder with files of its own included, is
// compared byte for byte before and after.
#include <archive.h>
#include <archive_entry.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <map>

#include "hostile_names.h"
#include "tests/archivers/common/crafted_archives.h"
#include "tests/archivers/reading/library_host.h"
#include "tests/support/files.h"
#include "tests/support/temp_folder.h"

namespace kt::test {
namespace {

namespace fs = std::filesystem;
using namespace craft;

const std::string kData = "written by a hostile archive\n";

std::string Replace(std::string s, const std::string& from, const std::string& to) {
    for (std::size_t at = s.find(from); at != std::string::npos; at = s.find(from, at + to.size()))
        s.replace(at, from.size(), to);
    return s;
}

// Folder and last part at the last "/" (or "\" for names without "/").
std::pair<std::string, std::string> Split(const std::string& name) {
    std::size_t at = name.rfind('/');
    if (at == std::string::npos) return {"", name};
    return {name.substr(0, at), name.substr(at + 1)};
}

std::string FolderField(const std::string& dir, char sep) {
    std::string out;
    for (char c : dir) out += c == '/' ? sep : c;
    return dir.empty() ? out : out + sep;
}

std::string Utf16Field(const std::string& ascii, bool folder) {
    std::string out;
    for (char c : ascii) {
        if (folder && c == '/') {
            out += "\xFF\xFF";
        } else {
            out += c;
            out += '\0';
        }
    }
    return folder && !ascii.empty() ? out + "\xFF\xFF" : out;
}

void WriteTar(const std::string& path, const std::string& name, int format, bool symlinkFirst) {
    struct archive* a = archive_write_new();
    archive_write_set_format(a, format);
    archive_write_open_filename(a, path.c_str());
    auto add = [&](const std::string& n, int type, const std::string& dataOrLink) {
        struct archive_entry* e = archive_entry_new();
        archive_entry_set_pathname(e, n.c_str());
        archive_entry_set_perm(e, 0644);
        archive_entry_set_filetype(e, type);
        if (type == AE_IFLNK) archive_entry_set_symlink(e, dataOrLink.c_str());
        if (type == AE_IFREG) archive_entry_set_size(e, static_cast<la_int64_t>(dataOrLink.size()));
        archive_write_header(a, e);
        if (type == AE_IFREG) archive_write_data(a, dataOrLink.data(), dataOrLink.size());
        archive_entry_free(e);
    };
    if (symlinkFirst) add("out", AE_IFLNK, "../../..");
    add(name, AE_IFREG, kData);
    archive_write_close(a);
    archive_write_free(a);
}

// One way of storing a name: the format, the file extension, and the
// archive bytes written to path (false when this encoding cannot hold it).
struct Encoding {
    std::string what;
    std::string ext;
    std::function<bool(const std::string& path, const std::string& name)> write;
};

bool Put(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
    return true;
}

std::vector<Encoding> Encodings() {
    return {
        {"LZH level 0", "lzh",
         [](const std::string& p, const std::string& n) {
             return n.size() <= 230 && Put(p, LzhArchive({Lzh0(n, kData)}));
         }},
        {"LZH level 1", "lzh",
         [](const std::string& p, const std::string& n) {
             auto [dir, leaf] = Split(n);
             std::vector<LzhExt> ext;
             if (!dir.empty()) ext.push_back({0x02, FolderField(dir, '\xFF')});
             return leaf.size() <= 230 && Put(p, LzhArchive({Lzh1(leaf, ext, kData)}));
         }},
        {"LZH level 2 (Unix)", "lzh",
         [](const std::string& p, const std::string& n) {
             auto [dir, leaf] = Split(n);
             return Put(
                 p,
                 LzhArchive({Lzh2({{0x01, leaf}, {0x02, FolderField(dir, '\xFF')}}, kData, 'U')}));
         }},
        {"LZH level 2 (MS-DOS)", "lzh",
         [](const std::string& p, const std::string& n) {
             auto [dir, leaf] = Split(n);
             return Put(
                 p,
                 LzhArchive({Lzh2({{0x01, leaf}, {0x02, FolderField(dir, '\xFF')}}, kData, 'M')}));
         }},
        {"LZH UTF-16 headers", "lzh",
         [](const std::string& p, const std::string& n) {
             auto [dir, leaf] = Split(n);
             return Put(p, LzhArchive({Lzh2({{0x01, "x.txt"},
                                             {0x44, Utf16Field(leaf, false)},
                                             {0x45, Utf16Field(dir, true)}},
                                            kData)}));
         }},
        {"ZIP (Unix)", "zip",
         [](const std::string& p, const std::string& n) {
             return Put(p, Zip({{n, kData}}));
         }},
        {"ZIP (MS-DOS)", "zip",
         [](const std::string& p, const std::string& n) {
             ZipMember m{n, kData};
             m.hostOs = 0;
             return Put(p, Zip({m}));
         }},
        {"ZIP UTF-8 flag", "zip",
         [](const std::string& p, const std::string& n) {
             return Put(p, Zip({{n, kData, true}}));
         }},
        {"ZIP Unicode path field", "zip",
         [](const std::string& p, const std::string& n) {
             return Put(p, Zip({{"harmless.txt", kData, false, n}}));
         }},
        {"ZIP through a stored link", "zip",
         [](const std::string& p, const std::string& n) {
             ZipMember link{"out", "../../..", false};
             link.unixMode = 0120777;
             return Put(p, Zip({link, {"out/" + n, kData}}));
         }},
        {"tar (pax)", "tar",
         [](const std::string& p, const std::string& n) {
             if (n.find('\0') != std::string::npos) return false;  // a C string cannot hold it
             WriteTar(p, n, ARCHIVE_FORMAT_TAR_PAX_RESTRICTED, false);
             return true;
         }},
        {"tar (GNU)", "tar",
         [](const std::string& p, const std::string& n) {
             if (n.find('\0') != std::string::npos) return false;
             WriteTar(p, n, ARCHIVE_FORMAT_TAR_GNUTAR, false);
             return true;
         }},
        {"tar through a stored link", "tar",
         [](const std::string& p, const std::string& n) {
             if (n.find('\0') != std::string::npos) return false;
             WriteTar(p, "out/" + n, ARCHIVE_FORMAT_TAR_PAX_RESTRICTED, true);
             return true;
         }},
    };
}

// Every path below root except below skip, with what it is: the bytes of a
// file, the target of a link, "<dir>" for a folder.
std::map<std::string, std::string> Snapshot(const std::string& root, const std::string& skip) {
    std::map<std::string, std::string> out;
    for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator();
         ++it) {
        const std::string p = it->path().string();
        if (p == skip) {
            it.disable_recursion_pending();
            continue;
        }
        std::string what;
        if (it->is_symlink()) {
            what = "-> " + fs::read_symlink(it->path()).string();
        } else if (it->is_directory()) {
            what = "<dir>";
        } else {
            std::ifstream in(p, std::ios::binary);
            what.assign(std::istreambuf_iterator<char>(in), {});
        }
        out[p] = what;
    }
    return out;
}

int RunKaltri(const std::string& archive, const std::string& target) {
    std::string cmd = std::string(KT_BIN_DIR) + "/kaltri extract --overwrite all '" + archive +
                      "' -o '" + target + "' >/dev/null 2>&1 </dev/null";
    int status = std::system(cmd.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

struct Library {
    std::string ext;
    LibraryHost host;
    std::function<std::string(const std::string&, const std::string&)> line;
};

TEST(TraversalCorpus, NoHostileNameWritesOutsideTheTarget) {
    Library libs[] = {
        {"lzh", LibraryHost("UNLHA32.DLL", "Unlha"),
         [](const std::string& a, const std::string& t) {
             return "x \"" + a + "\" \"" + t + "/\"";
         }},
        {"zip", LibraryHost("UNZIP32.DLL", "UnZip"),
         [](const std::string& a, const std::string& t) {
             return "-x -o \"" + a + "\" \"" + t + "/\"";
         }},
        {"tar", LibraryHost("tar32.dll", "Tar"),
         [](const std::string& a, const std::string& t) {
             return "x -f \"" + a + "\" -o \"" + t + "/\"";
         }},
    };
    const kt::test::TempFolder scratch;
    const std::string root = scratch.Path();
    int tried = 0, escaped = 0;
    // Extractions that wrote something inside the target, by entry: proof
    // that each entry really ran (a cleaned rooted name lands inside).
    int wroteInside[2] = {0, 0};
    for (const std::string& pattern : HostileNames()) {
        const std::string name = Replace(pattern, "@ROOT@", root.substr(1));
        for (const Encoding& enc : Encodings()) {
            for (Library& lib : libs) {
                if (lib.ext != enc.ext) continue;
                for (bool throughKaltri : {true, false}) {
                    fs::remove_all(root);
                    fs::create_directories(root + "/sibling");
                    std::ofstream(root + "/sibling/keep.txt") << "the user's file\n";
                    std::ofstream(root + "/evil.txt.orig") << "untouched\n";
                    const std::string target = root + "/t/x/y/z/target";
                    fs::create_directories(target);
                    const std::string archive = root + "/t/archive." + enc.ext;
                    if (!enc.write(archive, name)) continue;
                    const auto before = Snapshot(root, target);
                    if (throughKaltri) {
                        RunKaltri(archive, target);
                    } else {
                        ASSERT_TRUE(lib.host.Loaded()) << lib.ext;
                        lib.host.Command(lib.line(archive, target));
                    }
                    ++tried;
                    if (!fs::is_empty(target)) ++wroteInside[throughKaltri ? 1 : 0];
                    const auto after = Snapshot(root, target);
                    if (after != before) {
                        ++escaped;
                        std::string changed;
                        for (const auto& [p, what] : after)
                            if (!before.count(p) || before.at(p) != what)
                                changed += "  " + p + "\n";
                        ADD_FAILURE()
                            << enc.what << (throughKaltri ? " via kaltri" : " via the library")
                            << ": \"" << Replace(name, std::string(1, '\0'), "\\0")
                            << "\" wrote outside the target:\n"
                            << changed;
                    }
                }
            }
        }
    }
    std::cout << "[traversal] " << tried << " hostile extractions, " << escaped
              << " wrote outside the target\n";
    EXPECT_GT(tried, 500);
    EXPECT_GT(wroteInside[0], 20);
    EXPECT_GT(wroteInside[1], 20);
}

// A level-2 LZH symbolic link member: "-lhd-" with the name "link|target",
// as Unix producers store links.
std::string LzhLink(const std::string& name, const std::string& target) {
    auto [dir, leaf] = Split(name);
    std::string h = Lzh2({{0x01, leaf + "|" + target}, {0x02, FolderField(dir, '\xFF')}}, "");
    h.replace(2, 5, "-lhd-");
    h[27] = h[28] = '\0';
    uint16_t crc = Crc16(h);
    h[27] = static_cast<char>(crc & 0xFF);
    h[28] = static_cast<char>(crc >> 8);
    return h;
}

// A tree of links each of which passes a text-only inside check, x/l1 ->
// "..", x/lK -> "l(K-1)/../..", chained until they reach the root of the
// file system, and a link through the last one to a system file; beside it
// a harmless link to a member. Packed by the peers that store links (lha
// follows links to folders instead of storing them: the LZH archive is
// made here, with links stored as Unix producers store them), and
// extracted through kaltri and each library: the harmless link comes out a
// link, every link left resolves inside the target, and nothing outside
// changes.
TEST(TraversalCorpus, ChainedLinksNeverLeadOutAndHarmlessOnesStayLinks) {
    const kt::test::TempFolder scratch;
    const std::string root = scratch.Path();
    const std::string src = root + "/src";
    fs::create_directories(src + "/x");
    std::ofstream(src + "/x/file.txt") << "inside\n";
    fs::create_symlink("x/file.txt", src + "/good");
    fs::create_symlink("..", src + "/x/l1");
    const int depth = 40;
    for (int k = 2; k <= depth; ++k)
        fs::create_symlink("l" + std::to_string(k - 1) + "/../..",
                           src + "/x/l" + std::to_string(k));
    fs::create_symlink("x/l" + std::to_string(depth) + "/etc/passwd", src + "/readme.txt");
    const std::string members = "x/file.txt x/l* good readme.txt";
    struct Peer {
        std::string what, ext, command;
    } peers[] = {
        {"GNU tar", "tar", "tar --format=gnu -cf '@A@' " + members},
        {"bsdtar pax", "tar", "bsdtar --format=pax -cf '@A@' " + members},
        {"bsdtar ustar", "tar", "bsdtar --format=ustar -cf '@A@' " + members},
        {"zip -y", "zip", "zip -q -y '@A@' " + members},
        {"crafted LZH", "lzh", ""},
    };
    Library libs[] = {
        {"lzh", LibraryHost("UNLHA32.DLL", "Unlha"),
         [](const std::string& a, const std::string& t) {
             return "x \"" + a + "\" \"" + t + "/\"";
         }},
        {"zip", LibraryHost("UNZIP32.DLL", "UnZip"),
         [](const std::string& a, const std::string& t) {
             return "-x -o \"" + a + "\" \"" + t + "/\"";
         }},
        {"tar", LibraryHost("tar32.dll", "Tar"),
         [](const std::string& a, const std::string& t) {
             return "x -f \"" + a + "\" -o \"" + t + "/\" --overwrite=1";
         }},
    };
    int runs = 0;
    for (const Peer& peer : peers) {
        const std::string archive = root + "/a/archive." + peer.ext;
        fs::create_directories(root + "/a");
        fs::remove(archive);
        if (peer.command.empty()) {
            std::vector<std::string> lzh = {
                LzhLink("good", "x/file.txt"),
                Lzh2({{0x01, "file.txt"}, {0x02, FolderField("x", '\xFF')}}, "inside\n"),
                LzhLink("x/l1", "..")};
            for (int k = 2; k <= depth; ++k)
                lzh.push_back(
                    LzhLink("x/l" + std::to_string(k), "l" + std::to_string(k - 1) + "/../.."));
            lzh.push_back(LzhLink("readme.txt", "x/l" + std::to_string(depth) + "/etc/passwd"));
            Put(archive, LzhArchive(lzh));
        }
        std::string cmd =
            "cd '" + src + "' && " + Replace(peer.command, "@A@", archive) + " >/dev/null 2>&1";
        if ((!peer.command.empty() && std::system(cmd.c_str()) != 0) || !fs::exists(archive)) {
            ADD_FAILURE() << peer.what << ": the peer could not pack the tree";
            continue;
        }
        for (Library& lib : libs) {
            if (lib.ext != peer.ext) continue;
            for (bool throughKaltri : {true, false}) {
                SCOPED_TRACE(peer.what + (throughKaltri ? " via kaltri" : " via the library"));
                const std::string target = root + "/t/x/y/z/target";
                fs::remove_all(root + "/t");
                fs::create_directories(target);
                const auto before = Snapshot(root, target);
                int rc = throughKaltri ? RunKaltri(archive, target)
                                       : lib.host.Command(lib.line(archive, target));
                ++runs;
                EXPECT_NE(0, rc) << "a refused link counts as not extracted";
                EXPECT_EQ(before, Snapshot(root, target)) << "something outside the target changed";
                EXPECT_TRUE(fs::is_symlink(target + "/good")) << "the harmless link is no link";
                EXPECT_EQ("inside\n", kt::test::ReadAll(target + "/good"));
                const std::string inside = fs::canonical(target).string() + "/";
                for (auto it = fs::recursive_directory_iterator(target);
                     it != fs::recursive_directory_iterator(); ++it) {
                    if (!it->is_symlink()) continue;
                    std::error_code ec;
                    fs::path resolved = fs::weakly_canonical(it->path(), ec);
                    if (ec) continue;  // a loop or a dangling chain leads nowhere
                    EXPECT_EQ(0u, (resolved.string() + "/").rfind(inside, 0))
                        << it->path() << " resolves to " << resolved;
                }
            }
        }
    }
    EXPECT_EQ(2 * 5, runs);
}

}  // namespace
}  // namespace kt::test

#include "archive_commands.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <iostream>
#include <memory>
#include <set>
#include <vector>

#include "archive/archive_file.h"
#include "archive/archiver_factory.h"
#include "archive/batch_run.h"
#include "archive/earchiver.h"
#include "archive/lha_driver.h"
#include "archive/tar_driver.h"
#include "archive/zip_driver.h"
#include "json_lines.h"
#include "platform/file_scan.h"
#include "platform/path_text.h"
#include "platform/printable_text.h"

namespace kaltri {
namespace {

// The folders an extraction made to hold its files, deepest first. An
// extraction that fails or is stopped takes back those still empty, so a
// wrong password or a Ctrl-C leaves no trace; a folder that received
// anything stays, and so does every folder that was there before.
class MadeFolders {
public:
    explicit MadeFolders(const std::string& dir) {
        std::error_code ec;
        for (std::filesystem::path p = dir;
             p.has_relative_path() &&
             !std::filesystem::exists(std::filesystem::symlink_status(p, ec));
             p = p.parent_path())
            made_.push_back(p);
    }
    ~MadeFolders() {
        std::error_code ec;
        for (const auto& p : made_)
            std::filesystem::remove(p, ec);  // refuses a folder that is not empty
    }
    MadeFolders(const MadeFolders&) = delete;
    MadeFolders& operator=(const MadeFolders&) = delete;
    void Keep() { made_.clear(); }

private:
    std::vector<std::filesystem::path> made_;
};

// The driver for the archive, or null after printing why there is none.
std::unique_ptr<kt::TArchiver> OpenDriver(const std::string& archive, Lang lang) {
    if (kt::TypeOfPath(archive) != kt::PathType::File) {
        std::cerr << "kaltri: " << archive << ": "
                  << (lang == Lang::Ja ? "ファイルがありません。" : "no such file") << "\n";
        return nullptr;
    }
    try {
        kt::TArchiverType type = kt::DetectArchiverType(archive, true);
        if (type == kt::atNone) type = kt::DetectArchiverType(archive, false);
        if (type == kt::atNone || type == kt::atAutoDetect) {
            std::cerr << "kaltri: " << Text(lang, Msg::UnknownFormat, archive) << "\n";
            return nullptr;
        }
        return kt::CreateArchiver(type);
    } catch (const std::exception& e) {
        // The driver's own text names the missing library.
        std::cerr << "kaltri: " << e.what() << "\n";
        return nullptr;
    }
}

// Room for the library's report of one command: a line per member.
constexpr std::size_t kReportSize = 1 << 20;

// The switch that hands a ZIP password to the library; nothing for other
// formats, which have no password.
std::string PasswordSwitch(const kt::TArchiver& driver, const std::string& password) {
    if (&driver.Class() != &kt::TZip32::ClassInfo) return {};
    return kt::PasswordSwitch(kt::atZip, password);
}

std::string DosDate(WORD date, WORD time) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d", 1980 + (date >> 9), (date >> 5) & 15,
                  date & 31, time >> 11, (time >> 5) & 63);
    return buf;
}

// Calls each(info, original size, compressed size) for every member of an
// open archive; returns the library's last FindFirst/FindNext result (-1: all
// members seen).
int EachMember(kt::TArchiver& driver, HARC arc,
               const std::function<void(const INDIVIDUALINFO&, uint64_t, uint64_t)>& each) {
    INDIVIDUALINFO info{};
    int r = driver.FindFirst(arc, &info, "*");
    while (r == 0) {
        // The library's full sizes where it gives them: INDIVIDUALINFO
        // stops at 4 GiB.
        uint64_t original = info.dwOriginalSize, compressed = info.dwCompressedSize;
        driver.FoundSizes(arc, original, compressed);
        each(info, original, compressed);
        info = INDIVIDUALINFO{};
        r = driver.FindNext(arc, &info);
    }
    return r;
}

// The --json record of one member.
std::string MemberRecord(const std::string& archive, const INDIVIDUALINFO& info, uint64_t original,
                         uint64_t compressed) {
    const std::string attributes = kt::PrintableText(info.szAttribute);
    const std::string method = kt::PrintableText(info.szMode);
    Json m;
    m["type"] = "member";
    m["archive"] = archive;
    m["name"] = std::string(info.szFileName);
    m["size"] = original;
    m["packed"] = compressed;
    m["method"] = method;
    m["crc"] = info.dwCRC;
    m["time"] = JsonDosTime(info.wDate, info.wTime);
    m["attributes"] = attributes;
    // UNZIP32 marks encrypted members with "E"; its AES members show "AES"
    // as their method.
    m["encrypted"] = method == "AES" || attributes.find('E') != std::string::npos;
    return JsonLine(m);
}

}  // namespace

void SayWhyNotOpened(kt::TArchiver& driver, const std::string& path, const std::string& archive,
                     Lang lang);

int ListArchive(const std::string& archive, Lang lang, bool json, Verbosity verbosity) {
    std::unique_ptr<kt::TArchiver> driver = OpenDriver(archive, lang);
    if (!driver) return 1;
    const bool verbose = verbosity == Verbosity::Verbose;
    try {
        HARC arc = driver->OpenArchive(nullptr, archive, 0);
        if (arc == nullptr) {
            SayWhyNotOpened(*driver, kt::AbsolutePath(archive), archive, lang);
            return 1;
        }
        if (!json && verbosity != Verbosity::Quiet)
            std::printf(verbose ? "%12s %12s %6s %-16s %-7s %-8s %-6s %s\n"
                                : "%12s %12s %6s %-16s %-7s %s\n",
                        "size", "packed", "ratio", "date", "method", verbose ? "crc" : "name",
                        "attr", "name");
        int count = 0;
        int r = EachMember(
            *driver, arc, [&](const INDIVIDUALINFO& info, uint64_t original, uint64_t compressed) {
                ++count;
                if (json) {
                    std::cout << MemberRecord(archive, info, original, compressed) << "\n";
                    return;
                }
                std::printf("%12llu %12llu %5.1f%% %-16s %-7.7s ",
                            static_cast<unsigned long long>(original),
                            static_cast<unsigned long long>(compressed), info.wRatio / 10.0,
                            DosDate(info.wDate, info.wTime).c_str(),
                            kt::PrintableText(info.szMode).c_str());
                if (verbose)
                    std::printf("%08lx %-6.6s ", static_cast<unsigned long>(info.dwCRC),
                                kt::PrintableText(info.szAttribute).c_str());
                std::printf("%s\n", kt::PrintableText(info.szFileName).c_str());
            });
        driver->CloseArchive(arc);
        if (json) {
            Json a;
            a["type"] = "archive";
            a["archive"] = archive;
            a["members"] = count;
            a["result"] = r == -1 ? "ok" : "damaged";
            if (r != -1) a["error"] = ErrorCodeText(Lang::En, r);
            std::cout << JsonLine(a) << std::endl;
        }
        if (r != -1) {
            std::fflush(stdout);
            std::cerr << "kaltri: " << archive << ": " << ErrorCodeText(lang, r) << "\n";
            return 1;
        }
        if (!json && verbosity != Verbosity::Quiet)
            std::printf("%s\n", Text(lang, Msg::ListCount, std::to_string(count)).c_str());
        return 0;
    } catch (const std::exception& e) {
        std::cerr << "kaltri: " << e.what() << "\n";
        return 1;
    }
}

std::vector<std::string> MemberNames(const std::string& archive) {
    std::vector<std::string> names;
    try {
        kt::TArchiverType type = kt::DetectArchiverType(archive, true);
        if (type == kt::atNone || type == kt::atAutoDetect) return names;
        std::unique_ptr<kt::TArchiver> driver = kt::CreateArchiver(type);
        HARC arc = driver->OpenArchive(nullptr, archive, 0);
        if (arc == nullptr) return names;
        EachMember(*driver, arc, [&](const INDIVIDUALINFO& info, uint64_t, uint64_t) {
            names.push_back(kt::PrintableText(info.szFileName));
        });
        driver->CloseArchive(arc);
    } catch (const std::exception&) {
    }
    return names;
}

int TestMembers(kt::TArchiver& driver, const std::string& path, const std::string& password,
                std::string& report) {
    kt::TArchiverOptions options;
    options.n = 1;  // quiet: the report goes to the buffer, not a window
    options.x = 1;
    options.UserOptions = PasswordSwitch(driver, password);
    std::string output(kReportSize, '\0');
    int r = driver.TestMembers(nullptr, path, options, output);
    if (r == ERROR_NOT_SUPPORT) {
        // A library without a test command: its own whole-archive check.
        // Its one answer does not say why; an archive that cannot even be
        // opened is not one whose data failed its CRC.
        r = driver.CheckArchive(path, CHECKARCHIVE_FULLCRC, 0) != 0 ? 0 : ERROR_FILE_CRC;
        if (r != 0) {
            HARC arc = driver.OpenArchive(nullptr, path, 0);
            if (arc == nullptr)
                r = ERROR_NOT_ARC_FILE;
            else
                driver.CloseArchive(arc);
        }
        output.clear();
    }
    report = output.c_str();
    return r;
}

// The format was recognised but the library cannot open the archive: its own
// report of the test command says why (the last part of a split ZIP, ...),
// after the general line.
void SayWhyNotOpened(kt::TArchiver& driver, const std::string& path, const std::string& archive,
                     Lang lang) {
    std::cerr << "kaltri: " << Text(lang, Msg::UnknownFormat, archive) << "\n";
    std::string report;
    if (TestMembers(driver, path, "", report) == 0) return;
    std::string line = report.substr(0, report.find('\n'));
    if (!line.empty()) std::cerr << "kaltri: " << kt::PrintableText(line) << "\n";
}

int TestArchive(const std::string& archive, const std::string& password, Lang lang, bool json,
                Verbosity verbosity) {
    std::string path = kt::AbsolutePath(archive);
    std::unique_ptr<kt::TArchiver> driver = OpenDriver(path, lang);
    if (!driver) return 1;
    try {
        std::string report;
        int r = TestMembers(*driver, path, password, report);
        if (json) {
            // What each member holds; the libraries test an archive as a
            // whole, so the result belongs to the archive's record.
            if (HARC arc = driver->OpenArchive(nullptr, path, 0)) {
                EachMember(*driver, arc,
                           [&](const INDIVIDUALINFO& info, uint64_t original, uint64_t compressed) {
                               std::cout << MemberRecord(archive, info, original, compressed)
                                         << "\n";
                           });
                driver->CloseArchive(arc);
            }
            Json a;
            a["type"] = "archive";
            a["archive"] = archive;
            a["result"] = r == 0                                         ? "ok"
                          : r == ERROR_PASSWORD_FILE && password.empty() ? "untested"
                                                                         : "damaged";
            if (r != 0) {
                a["code"] = r;
                a["error"] = ErrorCodeText(Lang::En, r);
            }
            a["report"] = report;
            std::cout << JsonLine(a) << std::endl;
            return r == 0 ? 0 : 1;
        }
        // The library's report as before; with -v a line for every member
        // where the library reports only faults (and found none). With -q
        // the verdict on an archive that is not sound is an error message
        // like any other, and a sound one says nothing.
        const bool quiet = verbosity == Verbosity::Quiet;
        if (verbosity == Verbosity::Verbose && r == 0 && report.empty())
            for (const std::string& member : MemberNames(path)) report += "  " + member + "\n";
        if (r == 0 && quiet) return 0;
        std::cout.flush();
        std::ostream& out = quiet ? std::cerr : std::cout;
        out << report;
        if (!report.empty() && report.back() != '\n') out << "\n";
        if (r == 0) {
            out << Text(lang, Msg::TestOk, archive) << "\n";
            return 0;
        }
        if (quiet) out << "kaltri: ";
        if (r == ERROR_PASSWORD_FILE && password.empty()) {
            out << Text(lang, Msg::TestUntested, archive) << "\n";
        } else {
            out << Text(lang, Msg::TestDamaged, archive, ErrorCodeText(lang, r)) << "\n";
        }
        return 1;
    } catch (const std::exception& e) {
        std::cerr << "kaltri: " << e.what() << "\n";
        return 1;
    }
}

int ExtractArchive(const std::string& archive, const ExtractSettings& settings, Lang lang,
                   const std::atomic<bool>& interrupted, const QuestionFunction& ask) {
    std::string path = kt::AbsolutePath(archive);
    std::unique_ptr<kt::TArchiver> driver = OpenDriver(path, lang);
    if (!driver) return 1;
    std::string dir = kt::AbsolutePath(settings.outDir.empty() ? "." : settings.outDir);
    if (settings.each) {
        // Beside the archive unless -o says where; in a folder of its own
        // unless the archive brings one.
        if (settings.outDir.empty()) dir = kt::FolderOf(path);
        try {
            if (PlanMembers(*driver, path, kt::JoinFolder(dir, "")).topFolder.empty())
                dir = kt::JoinFolder(dir, EachFolderName(kt::NameOf(path)));
        } catch (const std::exception& e) {
            std::cerr << "kaltri: " << e.what() << "\n";
            return 1;
        }
    }
    MadeFolders made(dir);
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (kt::TypeOfPath(dir) != kt::PathType::Folder) {
        std::cerr << "kaltri: " << Text(lang, Msg::FolderCreateFailed, dir) << "\n";
        return 1;
    }
    if (dir.back() != '/') dir.push_back('/');
    try {
        const bool zip = &driver->Class() == &kt::TZip32::ClassInfo;
        // The LHA family takes its switches from the options; tar32.dll
        // keeps every existing file unless its own switch says otherwise.
        const bool lhaFamily = dynamic_cast<const kt::TLha32*>(driver.get()) != nullptr;
        const bool tar = dynamic_cast<const kt::TTar32*>(driver.get()) != nullptr;
        MemberPlan plan = PlanMembers(*driver, path, dir);
        if (!plan.listed) {
            SayWhyNotOpened(*driver, path, archive, lang);
            return 1;
        }
        std::vector<std::string> kept;
        std::vector<std::string> replace;
        if (!DecideExisting(plan.existing, settings.overwrite, dir, lang, ask, &replace, &kept)) {
            return interrupted ? 130 : 1;
        }
        if (interrupted) return 130;

        kt::TArchiverOptions options;
        options.n = 1;  // quiet: the report goes to the buffer, not a window
        options.x = 1;  // keep the folders stored in the archive
        std::string password = PasswordSwitch(*driver, settings.password);
        // The libraries refuse an archive whose declared sizes exceed the
        // free space unless told otherwise.
        if (settings.noSpaceCheck) {
            if (!lhaFamily) password += " --no-space-check";
            options.jyk = 1;
        }
        // First everything that is not in the way; an existing file is never
        // replaced in this pass, whatever appeared since the look above.
        if (zip) {
            options.UserOptions = "-n " + password;
        } else {
            options.m = 2;  // answer "no" to every overwrite question
            options.UserOptions = password;
        }
        std::string output(kReportSize, '\0');
        int r = driver->Unpack(nullptr, path, options, dir, {}, false, output);
        std::string report = output.c_str();
        if (r == 0 && !replace.empty() && !interrupted) {
            // Then the files the user let go, each named outright.
            options.m = kt::TArchiverOptions().m;
            options.p = 1;  // names match the whole stored path
            options.UserOptions = zip   ? "-o " + password
                                  : tar ? "--overwrite=1" + password
                                        : password;
            if (!zip) options.c = 1;
            output.assign(kReportSize, '\0');
            r = driver->Unpack(nullptr, path, options, dir,
                               kt::TFileList(replace.begin(), replace.end()), false, output);
            report += output.c_str();
        }
        if (interrupted) return 130;
        std::cout.flush();
        for (const std::string& k : kept)
            std::cerr << "kaltri: " << Text(lang, Msg::ExtractKept, kt::PrintableText(k)) << "\n";
        if (r == ERROR_DISK_SPACE && !settings.noSpaceCheck)
            std::cerr << Text(lang, Msg::ExtractNoSpace) << "\n";
        if (r != 0) {
            std::cerr << "kaltri: "
                      << Text(lang, Msg::ExtractFailed, archive, ErrorCodeText(lang, r))
                      << (report.empty() ? "" : "\n" + report) << "\n";
            return 1;
        }
        made.Keep();
        if (settings.verbosity == Verbosity::Verbose) {
            const std::set<std::string> keptNames(kept.begin(), kept.end());
            for (const std::string& member : plan.files)
                if (keptNames.count(member) == 0)
                    std::cout << "  " << kt::PrintableText(member) << "\n";
        }
        if (settings.verbosity != Verbosity::Quiet)
            std::cout << Text(lang, Msg::ExtractDone, archive, dir) << "\n";
        return kept.empty() ? 0 : 1;
    } catch (const std::exception& e) {
        std::cerr << "kaltri: " << e.what() << "\n";
        return 1;
    }
}

std::string EachFolderName(const std::string& name) {
    // Compressed tars name two formats; the folder drops both.
    for (const char* ext : {".tar.gz", ".tar.bz2", ".tar.xz", ".tar.zst", ".tar.Z"}) {
        const std::size_t n = std::strlen(ext);
        if (name.size() > n && name.compare(name.size() - n, n, ext) == 0)
            return name.substr(0, name.size() - n);
    }
    const std::size_t dot = name.rfind('.');
    if (dot == std::string::npos || dot == 0) return name + ".d";
    return name.substr(0, dot);
}

}  // namespace kaltri

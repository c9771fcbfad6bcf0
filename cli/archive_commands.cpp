#include "archive_commands.h"

#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <memory>
#include <sstream>

#include "archive/archive_file.h"
#include "archive/archiver_factory.h"
#include "archive/earchiver.h"
#include "pack_plan.h"
#include "platform/path_text.h"
#include "platform/file_scan.h"

namespace kaltri {
namespace {

// The driver for the archive, or null after printing why there is none.
std::unique_ptr<kt::TArchiver> OpenDriver(const std::string& archive, Lang lang,
                                          kt::TArchiverType* found = nullptr) {
    if (kt::TypeOfPath(archive) != kt::PathType::File) {
        std::cerr << "kaltri: " << archive << ": " << (lang == Lang::Ja ? "ファイルがありません。" : "no such file") << "\n";
        return nullptr;
    }
    try {
        kt::TArchiverType type = kt::DetectArchiverType(archive, true);
        if (type == kt::atNone) type = kt::DetectArchiverType(archive, false);
        if (type == kt::atNone || type == kt::atAutoDetect) {
            std::cerr << "kaltri: " << Text(lang, Msg::UnknownFormat, archive) << "\n";
            return nullptr;
        }
        if (found) *found = type;
        return kt::CreateArchiver(type);
    } catch (const std::exception& e) {
        // The driver's own text names the missing library.
        std::cerr << "kaltri: " << e.what() << "\n";
        return nullptr;
    }
}

std::string DosDate(WORD date, WORD time) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d", 1980 + (date >> 9), (date >> 5) & 15, date & 31,
                  time >> 11, (time >> 5) & 63);
    return buf;
}

}  // namespace

int ListArchive(const std::string& archive, Lang lang) {
    std::unique_ptr<kt::TArchiver> driver = OpenDriver(archive, lang);
    if (!driver) return 1;
    try {
        HARC arc = driver->OpenArchive(nullptr, archive, 0);
        if (arc == nullptr) {
            std::cerr << "kaltri: " << Text(lang, Msg::UnknownFormat, archive) << "\n";
            return 1;
        }
        std::printf("%12s %12s %6s %-16s %-7s %s\n", "size", "packed", "ratio", "date", "method", "name");
        INDIVIDUALINFO info{};
        int r = driver->FindFirst(arc, &info, "*");
        int count = 0;
        while (r == 0) {
            ++count;
            std::printf("%12u %12u %5.1f%% %-16s %-7.7s %s\n", info.dwOriginalSize, info.dwCompressedSize,
                        info.wRatio / 10.0, DosDate(info.wDate, info.wTime).c_str(), info.szMode,
                        info.szFileName);
            info = INDIVIDUALINFO{};
            r = driver->FindNext(arc, &info);
        }
        driver->CloseArchive(arc);
        if (r != -1) {
            std::cerr << "kaltri: " << Text(lang, Msg::CommandFailed, std::to_string(r)) << "\n";
            return 1;
        }
        std::printf("%d\n", count);
        return 0;
    } catch (const std::exception& e) {
        std::cerr << "kaltri: " << e.what() << "\n";
        return 1;
    }
}

namespace {

// The options of an extraction by kaltri: quiet, folders kept, and the
// password as the ZIP library's switch.
kt::TArchiverOptions ExtractOptions(const std::string& password) {
    kt::TArchiverOptions options;
    options.n = 1;  // quiet: the report goes to the buffer, not a window
    options.x = 1;  // keep the folders stored in the archive
    if (!password.empty()) options.UserOptions = "-P\"" + password + "\"";
    return options;
}

bool PasswordFits(const std::string& password, kt::TArchiverType type, Lang lang) {
    if (password.empty() || type == kt::atZip) return true;
    std::cerr << "kaltri: " << Text(lang, Msg::PasswordNeedsZip) << "\n";
    return false;
}

// Runs the library's extraction into a private scratch folder, removed
// again, for its report: the names of the members that fail and why.
int ExtractForReport(kt::TArchiver& driver, const std::string& path, const std::string& password,
                     std::string* report) {
    std::string tmpl = (std::filesystem::temp_directory_path() / "kaltri-test-XXXXXX").string();
    if (!mkdtemp(tmpl.data())) return -1;
    std::string output(1 << 16, '\0');
    int r = driver.Unpack(nullptr, path, ExtractOptions(password), tmpl + "/", {}, false, output);
    std::error_code ec;
    std::filesystem::remove_all(tmpl, ec);
    *report = output.c_str();
    return r;
}

}  // namespace

int TestArchive(const std::string& archive, const std::string& password, Lang lang) {
    std::string path = kt::AbsolutePath(archive);
    kt::TArchiverType type = kt::atNone;
    std::unique_ptr<kt::TArchiver> driver = OpenDriver(path, lang, &type);
    if (!driver) return 1;
    if (!PasswordFits(password, type, lang)) return 2;
    try {
        if (password.empty() && driver->CheckArchive(path, CHECKARCHIVE_FULLCRC, 0) != 0) {
            std::cout << Text(lang, Msg::TestOk, archive) << "\n";
            return 0;
        }
        std::string report;
        int r = ExtractForReport(*driver, path, password, &report);
        if (r == 0 && !password.empty()) {
            std::cout << Text(lang, Msg::TestOk, archive) << "\n";
            return 0;
        }
        // Only the lines about members that failed.
        std::istringstream lines(report);
        for (std::string line; std::getline(lines, line);) {
            if (line.rfind("extracted ", 0) == 0 || line.rfind("  inflating: ", 0) == 0 ||
                line.find(" member(s) extracted") != std::string::npos)
                continue;
            std::cout << "  " << line << "\n";
        }
        std::cout << Text(lang, Msg::TestFailed, archive, std::to_string(r)) << "\n";
        return 1;
    } catch (const std::exception& e) {
        std::cerr << "kaltri: " << e.what() << "\n";
        return 1;
    }
}

int ExtractArchive(const std::string& archive, const std::string& outDir, const std::string& password, Lang lang,
                   const std::atomic<bool>& interrupted) {
    std::string path = kt::AbsolutePath(archive);
    kt::TArchiverType type = kt::atNone;
    std::unique_ptr<kt::TArchiver> driver = OpenDriver(path, lang, &type);
    if (!driver) return 1;
    if (!PasswordFits(password, type, lang)) return 2;
    std::string dir = kt::AbsolutePath(outDir.empty() ? "." : outDir);
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (kt::TypeOfPath(dir) != kt::PathType::Folder) {
        std::cerr << "kaltri: " << Text(lang, Msg::FolderCreateFailed, dir) << "\n";
        return 1;
    }
    if (dir.back() != '/') dir.push_back('/');
    try {
        std::string output(8192, '\0');
        int r = driver->Unpack(nullptr, path, ExtractOptions(password), dir, {}, false, output);
        if (interrupted) return 130;
        std::string text = output.c_str();
        if (r != 0) {
            std::cerr << "kaltri: " << Text(lang, Msg::CommandFailed, std::to_string(r))
                      << (text.empty() ? "" : "\n" + text) << "\n";
            return 1;
        }
        std::cout << Text(lang, Msg::ExtractDone, archive, dir) << "\n";
        return 0;
    } catch (const std::exception& e) {
        std::cerr << "kaltri: " << e.what() << "\n";
        return 1;
    }
}

}  // namespace kaltri

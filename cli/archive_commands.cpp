#include "archive_commands.h"

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <memory>

#include "archive/archive_file.h"
#include "archive/archiver_factory.h"
#include "archive/earchiver.h"
#include "pack_plan.h"
#include "platform/path_text.h"
#include "platform/file_scan.h"

namespace kaltri {
namespace {

// The driver for the archive, or null after printing why there is none.
std::unique_ptr<kt::TArchiver> OpenDriver(const std::string& archive, Lang lang) {
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

int TestArchive(const std::string& archive, Lang lang) {
    std::unique_ptr<kt::TArchiver> driver = OpenDriver(archive, lang);
    if (!driver) return 1;
    try {
        int ok = driver->CheckArchive(archive, CHECKARCHIVE_FULLCRC, 0);
        if (ok != 0) {
            std::cout << Text(lang, Msg::TestOk, archive) << "\n";
            return 0;
        }
        std::cout << Text(lang, Msg::TestFailed, archive, "0") << "\n";
        return 1;
    } catch (const std::exception& e) {
        std::cerr << "kaltri: " << e.what() << "\n";
        return 1;
    }
}

int ExtractArchive(const std::string& archive, const std::string& outDir, Lang lang,
                   const std::atomic<bool>& interrupted) {
    std::string path = kt::AbsolutePath(archive);
    std::unique_ptr<kt::TArchiver> driver = OpenDriver(path, lang);
    if (!driver) return 1;
    std::string dir = kt::AbsolutePath(outDir.empty() ? "." : outDir);
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (kt::TypeOfPath(dir) != kt::PathType::Folder) {
        std::cerr << "kaltri: " << Text(lang, Msg::FolderCreateFailed, dir) << "\n";
        return 1;
    }
    if (dir.back() != '/') dir.push_back('/');
    try {
        kt::TArchiverOptions options;
        options.n = 1;  // quiet: the report goes to the buffer, not a window
        options.x = 1;  // keep the folders stored in the archive
        std::string output(8192, '\0');
        int r = driver->Unpack(nullptr, path, options, dir, {}, false, output);
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

// kaltri: the command-line front end over the archive layer.
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>

#include "archive/format_table.h"
#include "archive_commands.h"
#include "archive_packer.h"
#include "json_lines.h"
#include "out_folder.h"
#include "messages.h"
#include "nested_items.h"
#include "options.h"
#include "platform/core_budget.h"
#include "platform/path_text.h"
#include "platform/printable_text.h"
#include "pack_run.h"
#include "password_input.h"
#include "terminal.h"

namespace {

std::atomic<bool> gInterrupted{false};

void OnSignal(int) { gInterrupted = true; }

void InstallSignals() {
    struct sigaction sa {};
    sa.sa_handler = OnSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = 0;  // no SA_RESTART: a prompt being read returns at once
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    // A closed terminal ends the run as cleanly as a kill does.
    sigaction(SIGHUP, &sa, nullptr);
    signal(SIGPIPE, SIG_IGN);
}

int Usage(kaltri::Command command, const std::string& error) {
    std::cerr << "kaltri: " << error << "\n" << kaltri::UsageLine(command) << "\n";
    return 2;
}

// The paths of a file list (or of standard input for "-"), each ended by a
// line end or, with --null, a NUL byte, appended to *paths; empty entries
// are passed over. Every other byte is kept: a name is a path as it is.
bool ReadPathList(const std::string& file, bool nullSeparated, std::vector<std::string>* paths) {
    std::ifstream named;
    if (file != "-") {
        named.open(file, std::ios::binary);
        if (!named) return false;
    }
    std::istream& in = file == "-" ? std::cin : named;
    for (std::string path; std::getline(in, path, nullSeparated ? '\0' : '\n');)
        if (!path.empty()) paths->push_back(path);
    return !in.bad();
}

// The paths of --files-from (-T, -@) after those of the command line; false
// after saying why the list cannot be read.
bool ReadListedPaths(const kaltri::Options& o, std::vector<std::string>* paths) {
    if (o.filesFrom.empty() || ReadPathList(o.filesFrom, o.nullSeparated, paths)) return true;
    std::cerr << "kaltri: cannot read the file list " << o.filesFrom << ": " << std::strerror(errno)
              << "\n";
    return false;
}

int RunListCommand(const kaltri::Options& o, const std::vector<std::string>& archives,
                   kaltri::Lang lang) {
    // Each archive in turn, under its name when there are several; one that
    // cannot be listed does not stop the others.
    int status = 0;
    const bool headed = archives.size() > 1 && !o.json && o.verbosity != kaltri::Verbosity::Quiet;
    for (const std::string& archive : archives) {
        if (gInterrupted) return 130;
        if (headed)
            std::printf("%s%s:\n", &archive == &archives.front() ? "" : "\n",
                        kt::PrintableText(archive).c_str());
        status = std::max(status, kaltri::ListArchive(archive, lang, o.json, o.verbosity));
    }
    return status;
}

int RunTestCommand(const kaltri::Options& o, const std::vector<std::string>& archives,
                   kaltri::Lang lang) {
    using namespace kaltri;
    std::string password;
    int status = 0;
    if (!ObtainPassword(o, lang, false, gInterrupted, &password, &status)) return status;
    // Each archive in turn, and with several a last line that sums up.
    int sound = 0, worst = 0;
    for (const std::string& archive : archives) {
        if (gInterrupted) return 130;
        const int one = TestArchive(archive, password, lang, o.json, o.verbosity);
        sound += one == 0 ? 1 : 0;
        worst = std::max(worst, one);
    }
    if (archives.size() > 1 && !o.json && o.verbosity != Verbosity::Quiet)
        std::cerr << Text(lang, Msg::TestSummary, std::to_string(archives.size()),
                          std::to_string(sound),
                          std::to_string(archives.size() - static_cast<std::size_t>(sound)))
                  << "\n";
    return worst;
}

int RunExtractCommand(const kaltri::Options& o, const std::vector<std::string>& archives,
                      kaltri::Lang lang) {
    using namespace kaltri;
    ExtractSettings settings;
    int status = 0;
    if (!ObtainPassword(o, lang, false, gInterrupted, &settings.password, &status)) return status;
    settings.outDir = o.extractDir;
    settings.each = o.each;
    settings.verbosity = o.verbosity;
    // Large members share the cores the budget allows (UNZIP32).
    if (o.jobs > 0) kt::LimitCores(o.jobs);
    settings.noSpaceCheck = o.noSpaceCheck;
    // As for pack: ask only where someone can answer.
    settings.overwrite = o.overwrite.value_or(OverwritePolicy::Ask);
    if (settings.overwrite == OverwritePolicy::Ask && !CanAsk())
        settings.overwrite = OverwritePolicy::None;
    int worst = 0;
    for (const std::string& archive : archives) {
        if (gInterrupted) return 130;
        worst = std::max(worst, ExtractArchive(archive, settings, lang, gInterrupted, AskChar));
    }
    return worst;
}

int RunPackCommand(const kaltri::Options& o, kaltri::Lang lang) {
    using namespace kaltri;
    bool terminal = CanAsk();
    std::string password;
    int status = 2;
    if (!ObtainPassword(o, lang, true, gInterrupted, &password, &status)) return status;

    RunSettings settings;
    settings.lang = lang;
    settings.type = o.format;
    settings.overwrite =
        o.overwrite.value_or(terminal ? OverwritePolicy::Ask : OverwritePolicy::None);
    settings.onError = o.onError.value_or(terminal ? ErrorPolicy::Ask : ErrorPolicy::Continue);
    if (!terminal && settings.overwrite == OverwritePolicy::Ask)
        settings.overwrite = OverwritePolicy::None;
    if (!terminal && settings.onError == ErrorPolicy::Ask) settings.onError = ErrorPolicy::Continue;
    settings.renameOnClash = o.renameOnClash;
    // --jobs N is also the number of cores the run may use: one large file
    // packed with -j1 stays on one core.
    if (o.jobs > 0) kt::LimitCores(o.jobs);
    settings.jobs = o.jobs > 0 ? o.jobs : kt::CoreCount();
    settings.progress = isatty(STDERR_FILENO) != 0;
    settings.test = o.test;
    settings.json = o.json;

    const bool quiet = o.verbosity == Verbosity::Quiet;
    if (quiet) settings.progress = false;
    settings.verbosity = o.verbosity;
    settings.membersOf = MemberNames;

    std::vector<std::string> paths = o.paths;
    if (!ReadListedPaths(o, &paths)) return 1;
    kt::TSourceRules rules = kPackRules;
    rules.WholeFolders = o.perItem;
    const kt::TSources sources = kt::CollectSources(paths, rules);
    int unusable = static_cast<int>(sources.Refused.size());
    for (const std::string& p : sources.Refused)
        std::cerr << Text(lang, Msg::SourceUnusable, p) << "\n";
    if (sources.Files.empty()) {
        if (!quiet || unusable > 0) std::cerr << Text(lang, Msg::NoSources) << "\n";
        return unusable > 0 ? 1 : 0;
    }

    if (!o.outDir.empty()) {
        settings.outDir = kt::AbsolutePath(o.outDir);
        if (settings.outDir.size() > 1 && settings.outDir.back() == '/') settings.outDir.pop_back();
        if (!CreateOutFolder(settings.outDir, o.yes, terminal, lang)) return gInterrupted ? 130 : 1;
    }
    // One item at a time, in the order given, when an archive is made inside
    // a folder another item packs: that folder's archive then holds the
    // finished archive or none, never a temporary caught half-written.
    if (o.perItem && ArchiveLandsInPackedFolder(sources, settings.outDir)) settings.jobs = 1;

    // A missing library fails every file alike: say so once, before anything.
    std::string missing = MissingLibraryText(o.format);
    if (!missing.empty()) {
        std::cerr << "kaltri: " << missing << "\n";
        return 1;
    }

    ArchivePacker packer(o, password, gInterrupted);
    auto start = std::chrono::steady_clock::now();
    RunSummary s = RunPack(
        sources, settings,
        [&](const std::string& archive, const std::string& source, bool newArchive) {
            return packer.Pack(archive, source, newArchive);
        },
        [&](const std::string& q, const std::string& hint) { return AskChar(q, hint); },
        gInterrupted,
        // Data and progress on stdout: a terminal sees each line at once
        // (line-buffered there), a file or a pipe gets them in blocks instead
        // of a write per archive. Warnings and errors on stderr, where
        // scripts look for them, each marked as kaltri's.
        [quiet](const std::string& line, LineKind kind) {
            if (quiet && kind != LineKind::Error) return;
            if (kind == LineKind::Progress) {
                std::cout << line << '\n';
            } else {
                std::cout.flush();
                std::cerr << "kaltri: " << line << '\n';
            }
        });
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    char secs[32];
    std::snprintf(secs, sizeof secs, "%.2f", seconds);
    if (s.interrupted)
        std::cerr << Text(lang, Msg::Interrupted) << "\n";
    else if (s.stopped)
        std::cerr << Text(lang, Msg::Stopped) << "\n";
    if (!quiet)
        std::cerr << Text(lang, Msg::Summary, std::to_string(s.packed), std::to_string(s.skipped),
                          std::to_string(s.failed + static_cast<std::size_t>(unusable)), secs)
                  << "\n";
    if (o.json) {
        Json summary;
        summary["type"] = "summary";
        summary["packed"] = s.packed;
        summary["skipped"] = s.skipped;
        summary["failed"] = s.failed + static_cast<std::size_t>(unusable);
        summary["sources_kept"] = s.sourcesKept;
        summary["seconds"] = seconds;
        summary["interrupted"] = s.interrupted;
        summary["stopped"] = s.stopped;
        std::cout << JsonLine(summary) << std::endl;
    }
    if (s.interrupted) return 130;
    // Skipped is not failed: a run that finds its archives already made (a
    // script run twice) keeps them and has nothing wrong to report.
    return (s.failed > 0 || s.stopped || unusable > 0 || s.sourcesKept > 0) ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace kaltri;
    InstallSignals();
    Lang lang = LangFromEnvironment();
    ParseResult parsed = ParseCommandLine(argc, argv);
    const Options& o = parsed.options;
    if (o.command == Command::Help) {
        std::cout << HelpText(Command::None);
        return 0;
    }
    if (o.command == Command::Version) {
        std::cout << "kaltri (KalvoraTrindle) 1.0\n";
        return 0;
    }
    if (o.help) {
        std::cout << HelpText(o.command);
        return 0;
    }
    if (!parsed.error.empty()) return Usage(o.command, parsed.error);
    switch (o.command) {
        case Command::Pack:
            return RunPackCommand(o, lang);
        case Command::List:
        case Command::Test:
        case Command::Extract: {
            std::vector<std::string> archives = o.archives;
            if (!ReadListedPaths(o, &archives)) return 1;
            if (archives.empty()) {  // an empty list: nothing to do, nothing wrong
                if (o.verbosity != Verbosity::Quiet)
                    std::cerr << "kaltri: " << Text(lang, Msg::NoArchives) << "\n";
                return 0;
            }
            if (o.command == Command::List) return RunListCommand(o, archives, lang);
            if (o.command == Command::Test) return RunTestCommand(o, archives, lang);
            return RunExtractCommand(o, archives, lang);
        }
        default:
            return Usage(o.command, "unknown command");
    }
}

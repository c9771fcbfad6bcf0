#include "options.h"

#include <cstdlib>
#include <cstring>

#include "archive/format_table.h"

namespace kaltri {
namespace {

bool ParseInt(const std::string& text, int& out) {
    if (text.empty()) return false;
    char* end = nullptr;
    long v = std::strtol(text.c_str(), &end, 10);
    if (*end != '\0' || v < 1 || v > 1024) return false;
    out = static_cast<int>(v);
    return true;
}

// The words an option takes and what each means.
template <class T>
struct Choice {
    const char* word;
    T value;
};

constexpr Choice<OverwritePolicy> kOverwrite[] = {
    {"ask", OverwritePolicy::Ask}, {"all", OverwritePolicy::All}, {"none", OverwritePolicy::None}};
constexpr Choice<ErrorPolicy> kOnError[] = {
    {"ask", ErrorPolicy::Ask}, {"continue", ErrorPolicy::Continue}, {"stop", ErrorPolicy::Stop}};
constexpr Choice<bool> kOnClash[] = {{"fail", false}, {"rename", true}};  // rename on a clash?
constexpr Choice<int> kMethods[] = {{"lh5", 5}, {"lh6", 6}, {"lh7", 7}};
constexpr Choice<LzhEffort> kEfforts[] = {
    {"fast", LzhEffort::Fast}, {"normal", LzhEffort::Normal}, {"best", LzhEffort::Best}};
constexpr Choice<int> kAesBits[] = {{"aes128", 128}, {"aes192", 192}, {"aes256", 256}};

// Sets out to the meaning of word; false when the table has no such word.
template <class T, std::size_t N, class Out>
bool Choose(const std::string& word, const Choice<T> (&table)[N], Out& out) {
    for (const Choice<T>& c : table) {
        if (word == c.word) {
            out = c.value;
            return true;
        }
    }
    return false;
}

// "a, b or c" for the table's words.
template <class T, std::size_t N>
std::string Words(const Choice<T> (&table)[N]) {
    std::string text;
    for (std::size_t i = 0; i < N; ++i)
        text += (i == 0 ? "" : i + 1 == N ? " or " : ", ") + std::string(table[i].word);
    return text;
}

// The formats kaltri packs, from the format table, joined by Between
// (the last two by Last when it is given).
std::string PackFormatWords(const char* Between, const char* Last = nullptr) {
    std::vector<const char*> words;
    for (const kt::TFormatRow& row : kt::FormatTable())
        if (row.KaltriPacks) words.push_back(row.Name);
    std::string text;
    for (std::size_t i = 0; i < words.size(); ++i)
        text += (i == 0                          ? ""
                 : i + 1 == words.size() && Last ? Last
                                                 : Between) +
                std::string(words[i]);
    return text;
}

Command CommandOf(const std::string& word) {
    if (word == "pack") return Command::Pack;
    if (word == "list") return Command::List;
    if (word == "test") return Command::Test;
    if (word == "extract") return Command::Extract;
    return Command::None;
}

// Splits "--name=value" into its parts; plain "--name" leaves value empty.
bool SplitLong(const std::string& arg, std::string& name, std::string& value) {
    std::size_t eq = arg.find('=');
    if (eq == std::string::npos) {
        name = arg;
        return false;
    }
    name = arg.substr(0, eq);
    value = arg.substr(eq + 1);
    return true;
}

}  // namespace

ParseResult ParseCommandLine(int argc, const char* const* argv) {
    ParseResult r;
    Options& o = r.options;
    if (argc < 2) {
        r.error = "missing command";
        return r;
    }
    std::string first = argv[1];
    if (first == "--help" || first == "-h" || first == "help") {
        o.command = Command::Help;
        return r;
    }
    if (first == "--version" || first == "-V") {
        o.command = Command::Version;
        return r;
    }
    o.command = CommandOf(first);
    if (o.command == Command::None) {
        r.error = (first.size() > 1 && first[0] == '-' ? "unknown option '" : "unknown command '") +
                  first + "' (commands: pack, list, test, extract)";
        return r;
    }
    bool onlyPaths = false;
    for (int i = 2; i < argc; ++i) {
        std::string arg = argv[i];
        if (onlyPaths || arg.empty() || arg[0] != '-' || arg == "-") {
            if (o.command == Command::Pack) {
                o.paths.push_back(arg);
            } else {
                o.archives.push_back(arg);
            }
            continue;
        }
        if (arg == "--") {
            onlyPaths = true;
            continue;
        }
        // The version is the version, whatever command it follows.
        if (arg == "--version" || arg == "-V") {
            o.command = Command::Version;
            return r;
        }
        if (arg == "--help" || arg == "-h") {
            o.help = true;
            continue;
        }
        std::string name, value;
        bool inlineValue = SplitLong(arg, name, value);
        // Short options may carry their value attached: -j4, -fzip, -oDIR.
        if (!inlineValue && arg.size() > 2 && arg[1] != '-' &&
            (arg[1] == 'j' || arg[1] == 'f' || arg[1] == 'o')) {
            name = arg.substr(0, 2);
            value = arg.substr(2);
            inlineValue = true;
        }
        auto takeValue = [&](std::string& out) -> bool {
            if (inlineValue) {
                out = value;
                return true;
            }
            if (i + 1 >= argc) {
                r.error = "option " + name + " needs a value";
                return false;
            }
            out = argv[++i];
            return true;
        };
        std::string v;
        // The option's value, which must be a word of table.
        auto takeChoice = [&](const auto& table, auto& out) -> bool {
            if (!takeValue(v)) return false;
            if (Choose(v, table, out)) return true;
            r.error = name + " must be " + Words(table);
            return false;
        };
        // Options of more than one command.
        if (name == "--password-file") {
            if (!takeValue(o.passwordFile)) return r;
        } else if (name == "-p" || name == "--password") {
            if (inlineValue) {
                r.error =
                    "a password is never taken on the command line; use -p alone or "
                    "--password-file";
                return r;
            }
            o.askPassword = true;
        } else if (name == "-q" || name == "--quiet" || name == "-v" || name == "--verbose") {
            const Verbosity asked =
                name == "-q" || name == "--quiet" ? Verbosity::Quiet : Verbosity::Verbose;
            if (o.verbosity != Verbosity::Normal && o.verbosity != asked) {
                r.error = "-q and -v exclude each other";
                return r;
            }
            o.verbosity = asked;
        } else if (name == "--files-from" || name == "-T") {
            if (!takeValue(o.filesFrom)) return r;
        } else if (name == "-@") {
            o.filesFrom = "-";  // as zip -@: the names come on standard input
        } else if (name == "--null") {
            o.nullSeparated = true;
        } else if (name == "--json" && o.command != Command::Extract) {
            o.json = true;
        } else if (name == "--overwrite" &&
                   (o.command == Command::Pack || o.command == Command::Extract)) {
            if (!takeChoice(kOverwrite, o.overwrite)) return r;
        } else if ((name == "--jobs" || name == "-j") &&
                   (o.command == Command::Pack || o.command == Command::Extract)) {
            if (!takeValue(v)) return r;
            if (!ParseInt(v, o.jobs)) {
                r.error = "--jobs must be a number from 1 to 1024";
                return r;
            }
        } else if (o.command == Command::Pack) {
            if (name == "--format" || name == "-f") {
                if (!takeValue(v)) return r;
                const kt::TFormatRow* row = kt::FindFormatByName(v);
                if (row == nullptr || !row->KaltriPacks) {
                    r.error = name + " must be " + PackFormatWords(", ", " or ");
                    return r;
                }
                o.format = row->Type;
            } else if (name == "--out" || name == "-o") {
                if (!takeValue(o.outDir)) return r;
                if (o.outDir.empty()) {
                    r.error = "--out needs a folder";
                    return r;
                }
            } else if (name == "--on-error") {
                if (!takeChoice(kOnError, o.onError)) return r;
            } else if (name == "--on-clash") {
                if (!takeChoice(kOnClash, o.renameOnClash)) return r;
            } else if (name == "--level") {
                if (!takeValue(v)) return r;
                if (v.size() != 1 || v[0] < '0' || v[0] > '9') {
                    r.error = "--level must be a number from 0 to 9";
                    return r;
                }
                o.level = v[0] - '0';
            } else if (name == "--method") {
                if (!takeChoice(kMethods, o.method)) return r;
            } else if (name == "--effort") {
                if (!takeChoice(kEfforts, o.effort)) return r;
            } else if (name == "--encrypt") {
                if (!takeChoice(kAesBits, o.aesBits)) return r;
            } else if (name == "--move-to-trash" || name == "--delete-source") {
                SourceRemoval how =
                    name == "--move-to-trash" ? SourceRemoval::Trash : SourceRemoval::Delete;
                if (o.removal != SourceRemoval::Keep && o.removal != how) {
                    r.error = "--move-to-trash and --delete-source exclude each other";
                    return r;
                }
                o.removal = how;
                o.test = true;  // a source goes only after its archive tested clean
            } else if (name == "--test" || name == "-t") {
                o.test = true;
            } else if (name == "--yes" || name == "-y") {
                o.yes = true;
            } else if (name == "--per-item") {
                o.perItem = true;
            } else {
                r.error = "unknown option " + name;
                return r;
            }
        } else if (o.command == Command::Extract && (name == "-o" || name == "--out")) {
            if (!takeValue(o.extractDir)) return r;
        } else if (o.command == Command::Extract && name == "--no-space-check") {
            o.noSpaceCheck = true;
        } else if (o.command == Command::Extract && name == "--each") {
            o.each = true;
        } else {
            r.error = "unknown option " + name;
            return r;
        }
    }
    if (o.help) return r;
    if (o.askPassword && !o.passwordFile.empty()) {
        r.error = "-p and --password-file exclude each other";
    } else if (o.nullSeparated && o.filesFrom.empty()) {
        r.error = "--null goes with --files-from (-T) or -@";
    } else if (o.command == Command::Pack) {
        if (o.paths.empty() && o.filesFrom.empty())
            r.error = "no files or folders to pack";
        else if ((o.askPassword || !o.passwordFile.empty()) && o.format != kt::atZip)
            r.error = "passwords are for --format zip only";
        else if (o.aesBits && o.format != kt::atZip)
            r.error = "--encrypt is for --format zip only";
        else if (o.aesBits && !o.askPassword && o.passwordFile.empty())
            r.error = "--encrypt needs a password: -p or --password-file";
        else if (o.level && o.format != kt::atZip)
            r.error = "--level is for --format zip; LZH has --method and --effort";
        else if ((o.method || o.effort) && o.format != kt::atLha)
            r.error = "--method and --effort are for --format lzh; ZIP has --level";
    } else if (o.archives.empty() && o.filesFrom.empty()) {
        r.error = "no archive given";
    }
    return r;
}

std::string UsageLine(Command command) {
    switch (command) {
        case Command::Pack:
            return "usage: kaltri pack [--format " + PackFormatWords("|") +
                   "] [--out DIR] [--overwrite ask|all|none] "
                   "[--on-error ask|continue|stop] [--on-clash fail|rename] [--level 0-9] "
                   "[--method lh5|lh6|lh7] [--effort fast|normal|best] [--test] [--move-to-trash | "
                   "--delete-source] "
                   "[-p | --password-file FILE] "
                   "[--encrypt aes128|aes192|aes256] [--json] [--per-item] [-q | -v] "
                   "[-T FILE [--null]] [--jobs N] PATH...";
        case Command::List:
            return "usage: kaltri list [--json] [-q | -v] [-T FILE [--null]] ARCHIVE...";
        case Command::Test:
            return "usage: kaltri test [-p | --password-file FILE] [--json] [-q | -v] "
                   "[-T FILE [--null]] ARCHIVE...";
        case Command::Extract:
            return "usage: kaltri extract [-o DIR] [--each] [--overwrite ask|all|none] [-p | "
                   "--password-file FILE] "
                   "[--no-space-check] [--jobs N] [-q | -v] [-T FILE [--null]] ARCHIVE...";
        default:
            return "usage: kaltri pack|list|test|extract ... (kaltri --help for more)";
    }
}

std::string HelpText(Command command) {
    switch (command) {
        case Command::Pack:
            return UsageLine(command) +
                   "\n\nPacks every file into an archive of its own, named after the file with "
                   "its\n"
                   "extension replaced by .lzh or .zip. Folders are scanned to any depth\n"
                   "(with --per-item each folder is one archive named after it).\n\n"
                   "  -f, --format " +
                   PackFormatWords("|") +
                   "     archive format (default lzh)\n"
                   "  -o, --out DIR            put every archive into DIR (default: next to each "
                   "file)\n"
                   "  -y, --yes                create a missing --out folder without asking\n"
                   "  -T, --files-from FILE    also pack the paths listed in FILE, one a line\n"
                   "                           (\"-\": standard input)\n"
                   "  -@                       the same as -T -\n"
                   "      --null               the list's paths end with NUL bytes, not line ends\n"
                   "                           (find -print0), so any name can be listed\n"
                   "      --per-item           one archive for each path given, a folder "
                   "included:\n"
                   "                           the folder's tree goes in under its name, "
                   "hidden\n"
                   "                           files and empty folders too\n"
                   "      --overwrite POLICY   existing archives: ask, all (replace), none "
                   "(skip);\n"
                   "                           default ask on a terminal, none otherwise\n"
                   "      --on-error POLICY    after a failure: ask, continue, stop;\n"
                   "                           default ask on a terminal, continue otherwise\n"
                   "      --on-clash POLICY    two files that would get one archive name (a.txt, "
                   "a.dat):\n"
                   "                           fail (default) fails the later one, rename names "
                   "its\n"
                   "                           archive \"a (2).zip\"; no archive of the run is "
                   "replaced\n"
                   "      --level N            ZIP: 0 stores, 1 fastest ... 9 smallest (default "
                   "6)\n"
                   "      --method M           LZH: lh5, lh6 or lh7 (8/32/64 KiB window; default "
                   "lh7)\n"
                   "      --effort E           LZH: fast, normal (default) or best (smallest)\n"
                   "  -t, --test               test each new archive (every member's CRC, the MAC\n"
                   "                           of AES members) before it takes its place; one\n"
                   "                           that fails is a failure and is removed, and an\n"
                   "                           old archive stays\n"
                   "      --move-to-trash      move each source into the desktop's trash once its\n"
                   "                           archive is made, tested clean (implies --test) and\n"
                   "                           flushed to disk; a source that changed while it "
                   "was\n"
                   "                           packed, or whose test an interrupt cut short, "
                   "stays\n"
                   "      --delete-source      the same, but delete the source for good\n"
                   "  -p, --password           ask for a ZIP password (not echoed)\n"
                   "      --password-file FILE read the ZIP password from the first line of FILE\n"
                   "      --encrypt AES        with a password: aes128, aes192 or aes256 (WinZip\n"
                   "                           AES, read by 7-Zip and most archivers) instead\n"
                   "                           of ZipCrypto\n"
                   "  -j, --jobs N             pack N files at once, on at most N cores (default: "
                   "number of cores)\n"
                   "  -q, --quiet              say nothing but errors (no packed lines, skips\n"
                   "                           or summary)\n"
                   "  -v, --verbose            each packed line with its sizes, and a line for\n"
                   "                           every member of a folder's archive\n"
                   "      --json               one JSON object per line on stdout for each file:\n"
                   "                           "
                   "{\"type\":\"file\",\"source\",\"archive\",\"result\":\"packed\"|\n"
                   "                           "
                   "\"skipped\"|\"failed\",\"size\",\"packed\",\"tested\",\"error\",\n"
                   "                           \"source_kept\"|\"source_removed\"}, then\n"
                   "                           {\"type\":\"summary\",...}\n\n"
                   "Exit status: 0 nothing failed (skipped files included, so a second run of\n"
                   "the same command exits 0), 1 some failed (or a source to remove was kept),\n"
                   "2 bad usage, 130 interrupted.\n";
        case Command::List:
            return UsageLine(command) +
                   "\n\nLists the members of an archive of any format whose library is present.\n\n"
                   "  -q, --quiet              the members alone: no header, name or count lines\n"
                   "  -v, --verbose            each member's CRC and attributes as well\n"
                   "  -T, --files-from FILE    also take the archives listed in FILE, one a line\n"
                   "                           (\"-\": standard input)\n"
                   "  -@                       the same as -T -\n"
                   "      --null               the list's names end with NUL bytes, not line ends\n"

                   "      --json               one JSON object per line on stdout: per member\n"
                   "                           "
                   "{\"type\":\"member\",\"archive\",\"name\",\"size\",\"packed\",\n"
                   "                           "
                   "\"method\",\"crc\",\"time\",\"attributes\",\"encrypted\"}, then\n"
                   "                           "
                   "{\"type\":\"archive\",\"archive\",\"members\",\"result\"}\n";
        case Command::Test:
            return UsageLine(command) +
                   "\n\nTests every member of an archive. Exit status 0 when all are sound, 1 "
                   "otherwise.\n"
                   "Encrypted ZIP members are tested only with their password; without it they\n"
                   "count as untested, never as sound.\n\n"
                   "  -p, --password           ask for the ZIP password (not echoed)\n"
                   "      --password-file FILE read the ZIP password from the first line of FILE\n"
                   "  -q, --quiet              name only the archives that are not sound (on "
                   "stderr)\n"
                   "  -v, --verbose            a line for every member tested\n"
                   "  -T, --files-from FILE    also take the archives listed in FILE, one a line\n"
                   "                           (\"-\": standard input)\n"
                   "  -@                       the same as -T -\n"
                   "      --null               the list's names end with NUL bytes, not line ends\n"
                   "      --json               one JSON object per line on stdout: each member as\n"
                   "                           for list --json, then "
                   "{\"type\":\"archive\",\"archive\",\n"
                   "                           "
                   "\"result\":\"ok\"|\"damaged\"|\"untested\",\"code\",\n"
                   "                           \"error\",\"report\"}\n";
        case Command::Extract:
            return UsageLine(command) +
                   "\n\nExtracts every member into DIR (default: the current folder); nothing is\n"
                   "ever written outside it.\n\n"
                   "  -o, --out DIR            the folder to extract into\n"
                   "      --each               each archive into a folder of its own, named "
                   "after\n"
                   "                           it (a.zip into a/), beside it or in --out; an\n"
                   "                           archive whose members all lie in one folder\n"
                   "                           goes in as it is\n"
                   "      --overwrite POLICY   existing files: ask, all (replace), none (keep);\n"
                   "                           default ask on a terminal, none otherwise\n"
                   "  -p, --password           ask for the ZIP password (not echoed)\n"
                   "      --password-file FILE read the ZIP password from the first line of FILE\n"
                   "      --no-space-check     extract even when the sizes the archive declares "
                   "exceed\n"
                   "                           the free space (by default such an archive is "
                   "refused\n"
                   "                           before anything is written)\n"
                   "  -j, --jobs N             decode on at most N cores (default: number of "
                   "cores)\n"
                   "  -q, --quiet              say nothing but errors\n"
                   "  -v, --verbose            a line for every member extracted\n"
                   "  -T, --files-from FILE    also take the archives listed in FILE, one a line\n"
                   "                           (\"-\": standard input)\n"
                   "  -@                       the same as -T -\n"
                   "      --null               the list's names end with NUL bytes, not line ends\n"
                   "\n"
                   "Exit status: 0 all extracted, 1 some failed or were kept, 2 bad usage, 130 "
                   "interrupted.\n";
        default:
            return "kaltri: the KalvoraTrindle batch compressor for terminals and scripts.\n\n"
                   "  kaltri pack [options] PATH...     one archive per file (kaltri pack --help)\n"
                   "  kaltri list ARCHIVE...            list archives' members\n"
                   "  kaltri test ARCHIVE...            test archives\n"
                   "  kaltri extract ARCHIVE... [-o DIR] extract archives\n"
                   "  kaltri --version                  show the version\n\n"
                   "Messages follow LANG: Japanese for ja locales, English otherwise.\n";
    }
}

}  // namespace kaltri

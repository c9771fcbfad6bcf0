#include "archive/filters.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>

#include "archive/earchiver.h"
#include "archive/file_list.h"
#include "platform/ascii_case.h"
#include "platform/file_scan.h"
#include "platform/wildcard.h"

namespace kt {

bool TFileNameList::Less::operator()(const std::string& a, const std::string& b) const {
    std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const auto x = static_cast<unsigned char>(LowerAscii(a[i]));
        const auto y = static_cast<unsigned char>(LowerAscii(b[i]));
        if (x != y) return x < y;
    }
    if (a.size() != b.size()) return a.size() < b.size();
    return a < b;  // same text but for case: a fixed order, both kept
}

std::string JoinPath(const std::string& Dir, const std::string& Name) {
    if (Dir.empty()) return Name;
    if (Dir.back() == '/') return Dir + Name;
    return Dir + "/" + Name;
}

std::string ExtractMask(const std::string& Pattern) {
    std::size_t slash = Pattern.rfind('/');
    return slash == std::string::npos ? Pattern : Pattern.substr(slash + 1);
}

std::string ExtractFolder(const std::string& Pattern) {
    std::size_t slash = Pattern.rfind('/');
    if (slash == std::string::npos) return {};
    if (slash == 0 || Pattern[slash - 1] == '/') return Pattern.substr(0, slash + 1);
    return Pattern.substr(0, slash);
}

int ExpandTwoDigitYear(int YY, int CurrentYear) {
    // Floor division: the design's "div" on the (positive) years it meets.
    int base = CurrentYear - 50;
    int century = (base >= 0 ? base / 100 : -((-base + 99) / 100)) * 100;
    int y = YY + century;
    if (y < base) y += 100;
    return y;
}

namespace {

int Digits(const std::string& text, std::size_t from, std::size_t count) {
    int value = 0;
    for (std::size_t i = from; i < from + count; ++i) {
        char c = text[i];
        if (c < '0' || c > '9') throw EConvertError("'" + text + "' is not a valid date");
        value = value * 10 + (c - '0');
    }
    return value;
}

bool IsLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysIn(int year, int month) {
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeap(year) ? 29 : days[month - 1];
}

int CurrentLocalYear() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return local.tm_year + 1900;
}

}  // namespace

std::time_t ParseSwitchDate(const std::string& Text, const std::string& DefaultTime) {
    return ParseSwitchDate(Text, DefaultTime, CurrentLocalYear());
}

std::time_t ParseSwitchDate(const std::string& Text, const std::string& DefaultTime,
                            int CurrentYear) {
    std::string text = Text;
    if (text.size() > 1 && text[0] == 'l') text.erase(0, 1);
    int year, month, day;
    std::string time;
    if (text.size() == 6 || text.size() == 12) {
        year = ExpandTwoDigitYear(Digits(text, 0, 2), CurrentYear);
        month = Digits(text, 2, 2);
        day = Digits(text, 4, 2);
        time = text.size() == 12 ? text.substr(6) : DefaultTime;
    } else if (text.size() == 8 || text.size() == 14) {
        year = Digits(text, 0, 4);
        month = Digits(text, 4, 2);
        day = Digits(text, 6, 2);
        time = text.size() == 14 ? text.substr(8) : DefaultTime;
    } else {
        return 0;
    }
    if (time.size() != 6) throw EConvertError("'" + time + "' is not a valid time");
    int hour = Digits(time, 0, 2), minute = Digits(time, 2, 2), second = Digits(time, 4, 2);
    if (year < 1 || month < 1 || month > 12 || day < 1 || day > DaysIn(year, month))
        throw EConvertError("'" + Text + "' is not a valid date");
    if (hour > 23 || minute > 59 || second > 59)
        throw EConvertError("'" + Text + "' is not a valid time");
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    tm.tm_isdst = -1;
    return std::mktime(&tm);
}

namespace {

// One list build: its filters, its progress record and its result.
class Collector {
public:
    Collector(const TArchiverOptions& options, const TFileNameList* exclude, bool& aborted,
              const TFileProgress& progress)
        : options_(options), exclude_(exclude), aborted_(aborted), progress_(progress) {
        std::memset(&record_, 0, sizeof record_);
        minTime_ = ParseSwitchDate(options.jo, "000000");
        maxTime_ = ParseSwitchDate(options.job, "235959");
    }

    TFileNameList Result;

    void Search(const std::string& dir, const std::string& mask) {
        // A file whose own name holds "*" or "?" is itself, not a pattern:
        // "a?.txt" must not also take "ab.txt" beside it.
        const bool pattern = HasWildcard(mask) && TypeOfPath(JoinPath(dir, mask)) != PathType::File;
        if (pattern) {
            if (!FilePass(dir, mask)) return;
        } else if (!mask.empty()) {
            // A plain name is looked for exactly (names are case-sensitive).
            if (aborted_) return;
            if (mask != "." && mask != "..") Consider(dir, mask);
        }
        if (options_.r >= 1 && (options_.p <= 0 || pattern)) SubfolderPass(dir, mask);
    }

private:
    using DirPtr = std::unique_ptr<DIR, int (*)(DIR*)>;

    static DirPtr Open(const std::string& dir) {
        return DirPtr(opendir(dir.empty() ? "." : dir.c_str()), closedir);
    }

    static bool IsDotName(const char* n) {
        return n[0] == '.' && (n[1] == '\0' || (n[1] == '.' && n[2] == '\0'));
    }

    // False when the search was cancelled during the pass.
    bool FilePass(const std::string& dir, const std::string& mask) {
        DirPtr d = Open(dir);
        if (!d) return true;
        while (dirent* e = readdir(d.get())) {
            if (aborted_) return false;
            if (IsDotName(e->d_name)) continue;
            if (!WildcardMatch(mask, e->d_name)) continue;
            Consider(dir, e->d_name);
        }
        return true;
    }

    void SubfolderPass(const std::string& dir, const std::string& mask) {
        DirPtr d = Open(dir);
        if (!d) return;
        while (dirent* e = readdir(d.get())) {
            if (aborted_) return;
            if (IsDotName(e->d_name)) continue;
            std::string path = JoinPath(dir, e->d_name);
            struct stat st {};
            // Links to folders are not descended into: no cycles.
            if (lstat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) continue;
            Search(path, mask);
        }
    }

    void Consider(const std::string& dir, const std::string& name) {
        if (name[0] == '.' && options_.a < 1) return;  // hidden
        std::string path = JoinPath(dir, name);
        struct stat st {};
        if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return;
        std::time_t t = st.st_mtime;
        if ((minTime_ != 0 && t < minTime_) || (maxTime_ != 0 && t > maxTime_)) return;
        AddName(path);
    }

    void AddName(const std::string& name) {
        if (exclude_ != nullptr && exclude_->Contains(name)) return;
        if (!Result.Add(name) || !progress_) return;
        char* field = record_.exinfo.szSourceFileName;
        std::size_t n = std::min(name.size(), sizeof record_.exinfo.szSourceFileName - 1);
        // Cut on a character boundary: the record only displays.
        while (n > 0 && n < name.size() && (static_cast<unsigned char>(name[n]) & 0xC0) == 0x80)
            --n;
        std::memcpy(field, name.data(), n);
        field[n] = '\0';
        progress_(StateFileCollected, &record_, aborted_);
    }

    const TArchiverOptions& options_;
    const TFileNameList* exclude_;
    bool& aborted_;
    const TFileProgress& progress_;
    EXTRACTINGINFOEX record_;
    std::time_t minTime_ = 0, maxTime_ = 0;
};

bool IsFolder(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string CurrentFolder() {
    std::string buf(4096, '\0');
    while (getcwd(buf.data(), buf.size()) == nullptr) {
        if (errno != ERANGE) throw EInOutError(std::string("I/O error: ") + std::strerror(errno));
        buf.resize(buf.size() * 2);
    }
    return std::string(buf.c_str());
}

void EnterFolder(const std::string& folder) {
    if (chdir(folder.c_str()) != 0)
        throw EInOutError("I/O error: cannot enter \"" + folder + "\": " + std::strerror(errno));
}

}  // namespace

TFileNameList BuildFileList(const TArchiverOptions& Options, const TStringList* Patterns,
                            const TFileNameList* Exclude, bool Main, bool& Aborted,
                            const TFileProgress& Progress) {
    Collector c(Options, Exclude, Aborted, Progress);
    if (Patterns == nullptr || Patterns->empty()) {
        if (Main) c.Search("", "*.*");
        return std::move(c.Result);
    }
    for (const std::string& pattern : *Patterns) {
        if (Aborted) break;
        if (Options.r >= 2 && IsFolder(pattern)) {
            c.Search(pattern, "*.*");
        } else {
            c.Search(ExtractFolder(pattern), ExtractMask(pattern));
        }
    }
    return std::move(c.Result);
}

TFileNameList CollectFiles(TArchiverOptions& Options, const std::string& BaseDir,
                           const TFileList& Files, bool& Aborted, const TFileProgress& Progress) {
    TStringList names = ExpandFileList(Files);
    std::string saved;
    if (!BaseDir.empty()) {
        saved = CurrentFolder();
        EnterFolder(BaseDir);
    }
    TFileNameList result;
    try {
        TFileNameList exclude = BuildFileList(Options, &Options.jx, nullptr, false, Aborted, {});
        result = BuildFileList(Options, &names, &exclude, true, Aborted, Progress);
    } catch (...) {
        if (!saved.empty()) EnterFolder(saved);
        throw;
    }
    Options.r = -1;
    Options.jo = UnsetString;
    Options.job = UnsetString;
    Options.p = 1;
    if (!saved.empty()) EnterFolder(saved);
    return result;
}

}  // namespace kt

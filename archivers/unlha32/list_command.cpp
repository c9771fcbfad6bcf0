// l and v: the member table as report text.
#include <cstdio>
#include <ctime>

#include "commands.h"
#include "lzh_archive.h"

namespace kt::unlha {

int RunList(RunContext& ctx) {
    std::string path = ArchivePath(ctx.cmd.archive);
    FileReader file;
    if (!file.Open(path)) {
        ctx.report.Line("cannot open " + path);
        return ERROR_NOT_FIND_ARC_FILE;
    }
    Listing listing;
    int e = ReadListing(file, &listing);
    const bool verbose = ctx.cmd.command == 'v';
    ctx.report.Line(
        verbose ? "  Original    Packed Ratio Date       Time     Method CRC  Attr  OS Lv Name"
                : "  Original    Packed Ratio Date       Time     Method Name");
    uint64_t to = 0, tp = 0;
    std::size_t n = 0;
    for (const MemberHeader& h : listing.members) {
        if (!Selected(ctx.cmd, h)) continue;
        ++n;
        to += h.originalSize;
        tp += h.packedSize;
        time_t t = static_cast<time_t>(h.mtime);
        struct tm tm {};
        localtime_r(&t, &tm);
        char line[160];
        uint16_t r = RatioPerMille(h.packedSize, h.originalSize);
        std::snprintf(line, sizeof line, "%10llu %9llu %3u.%u%% %04d-%02d-%02d %02d:%02d:%02d %s",
                      static_cast<unsigned long long>(h.originalSize),
                      static_cast<unsigned long long>(h.packedSize), r / 10, r % 10,
                      tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min,
                      tm.tm_sec, h.method);
        std::string s = line;
        if (verbose) {
            std::snprintf(line, sizeof line, "  %04X %s %c  %d ", h.crc, AttributeText(h).c_str(),
                          h.osId >= 0x20 && h.osId < 0x7F ? h.osId : '?', h.level);
            s += line;
        } else {
            s += " ";
        }
        s += h.IsDirectory() ? h.name + "/" : h.name;
        ctx.report.Line(s);
    }
    char total[120];
    uint16_t r = RatioPerMille(tp, to);
    std::snprintf(total, sizeof total, "%10llu %9llu %3u.%u%% %zu file(s)",
                  static_cast<unsigned long long>(to), static_cast<unsigned long long>(tp), r / 10,
                  r % 10, n);
    ctx.report.Line(total);
    if (e) ctx.report.Line("the archive is broken after the members listed");
    return e;
}

}  // namespace kt::unlha

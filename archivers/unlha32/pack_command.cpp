// a (add or replace), u (add new and newer files), f (replace only with
// newer files) and d (delete): each builds the complete new archive in a
// temporary file and puts it in place only when everything went well.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <map>
#include <memory>

#include "platform/atomic_file.h"
#include "commands.h"
#include "lzh_archive.h"
#include "member_writer.h"
#include "platform/wildcard.h"
#include "source_files.h"

namespace kt::unlha {

std::string ArchivePath(const std::string& given) {
    std::size_t slash = given.rfind('/');
    std::string leaf = slash == std::string::npos ? given : given.substr(slash + 1);
    if (leaf.find('.') == std::string::npos) return given + ".lzh";
    return given;
}

bool Selected(const LhaCommand& cmd, const MemberHeader& h) {
    if (cmd.names.empty()) return true;
    std::size_t slash = h.name.rfind('/');
    std::string leaf = slash == std::string::npos ? h.name : h.name.substr(slash + 1);
    bool full = cmd.Int("p", 0) > 0;
    for (const std::string& n : cmd.names) {
        if (full || n.find('/') != std::string::npos) {
            if (kt::WildcardMatch(n, h.name)) return true;
            // A folder name selects what lies inside it.
            if (!kt::HasWildcard(n) && h.name.size() > n.size() &&
                h.name.compare(0, n.size(), n) == 0 && h.name[n.size()] == '/') {
                return true;
            }
        } else if (kt::WildcardMatch(n, leaf) || kt::WildcardMatch(n, h.name)) {
            return true;
        }
    }
    return false;
}

namespace {

// Copies bytes [from, to) of the old archive into the new one.
bool CopyRange(FileReader& in, uint64_t from, uint64_t to, kt::AtomicFile& out) {
    std::vector<uint8_t> buf(1 << 18);
    while (from < to) {
        std::size_t n = static_cast<std::size_t>(std::min<uint64_t>(buf.size(), to - from));
        if (in.ReadAt(from, buf.data(), n) != static_cast<long long>(n)) return false;
        if (!out.Write(buf.data(), n)) return false;
        from += n;
    }
    return true;
}

}  // namespace

int RunPack(RunContext& ctx) {
    const LhaCommand& cmd = ctx.cmd;
    const char c = cmd.command;
    std::string path = ArchivePath(cmd.archive);
    PackSettings settings;
    std::string message;
    if (int e = PackSettingsFor(cmd, &settings, &message)) {
        ctx.report.Line(message);
        return e;
    }

    // The archive as it is now.
    FileReader old;
    Listing listing;
    bool haveOld = false;
    struct stat ast;
    const bool existed = stat(path.c_str(), &ast) == 0;
    if (existed) {
        if (!S_ISREG(ast.st_mode)) {
            ctx.report.Line("not a file: " + path);
            return ERROR_ARC_FILE_OPEN;
        }
        if (ast.st_size > 0) {
            if (!old.Open(path)) {
                ctx.report.Line("cannot open " + path + ": " + std::strerror(errno));
                return ERROR_ARC_FILE_OPEN;
            }
            if (int e = ReadListing(old, &listing)) {
                ctx.report.Line("not a sound LZH archive, left unchanged: " + path);
                return e;
            }
            haveOld = true;
        }
    } else if (c == 'd' || c == 'f') {
        ctx.report.Line("archive not found: " + path);
        return ERROR_NOT_FIND_ARC_FILE;
    }

    // What goes where: old members kept, replaced or dropped; new files last.
    std::vector<SourceFile> sources;
    if (c == 'd') {
        if (cmd.names.empty()) {
            ctx.report.Line("no names given to delete");
            return ERROR_NOT_FILENAME;
        }
    } else if (c == 'f' && cmd.names.empty()) {
        // Freshen every member from the file of the same name.
        for (const MemberHeader& m : listing.members) {
            if (m.IsDirectory() || !m.linkTarget.empty()) continue;
            std::string p = cmd.baseDir.empty() ? m.name : cmd.baseDir + m.name;
            struct stat st;
            if (stat(p.c_str(), &st) == 0 && S_ISREG(st.st_mode))
                sources.push_back({p, m.name, st});
        }
    } else {
        if (cmd.names.empty()) {
            ctx.report.Line("no files given");
            return ERROR_NOT_FILENAME;
        }
        CollectSources(ctx, &sources);
    }
    std::map<std::string, std::size_t> byName;
    for (std::size_t i = 0; i < sources.size(); ++i) byName[sources[i].stored] = i;

    const bool ignoreTime = cmd.Int("c", 0) > 0;
    struct Step {
        const MemberHeader* old = nullptr;  // copy this member
        const SourceFile* src = nullptr;    // or pack this file
    };
    std::vector<Step> plan;
    std::vector<bool> used(sources.size(), false);
    std::size_t deleted = 0, changed = 0;
    for (const MemberHeader& m : listing.members) {
        if (c == 'd') {
            if (Selected(cmd, m)) {
                ctx.report.Line("deleted " + m.name);
                ++deleted;
            } else {
                plan.push_back({&m, nullptr});
            }
            continue;
        }
        auto it = byName.find(m.name);
        if (it == byName.end()) {
            plan.push_back({&m, nullptr});
            continue;
        }
        const SourceFile& s = sources[it->second];
        used[it->second] = true;
        bool newer = static_cast<int64_t>(s.st.st_mtime) > m.mtime;
        if (c == 'a' || ignoreTime || newer) {
            plan.push_back({nullptr, &s});
            ++changed;
        } else {
            plan.push_back({&m, nullptr});
        }
    }
    if (c == 'a' || c == 'u') {
        for (std::size_t i = 0; i < sources.size(); ++i) {
            if (!used[i]) {
                plan.push_back({nullptr, &sources[i]});
                ++changed;
            }
        }
    }
    if (changed == 0 && deleted == 0) {
        if (ctx.Result() == 0) ctx.report.Line("nothing to do; " + path + " unchanged");
        return ctx.Result();
    }

    // Build the new archive beside the old one; -w puts the work file in the
    // work folder, copied beside the target at the end.
    std::string workDir;
    if (auto w = cmd.strs.find("w"); w != cmd.strs.end()) workDir = w->second;
    kt::AtomicFile out;
    std::string buildPath = path;
    if (!workDir.empty()) {
        std::string leaf =
            path.substr(path.rfind('/') == std::string::npos ? 0 : path.rfind('/') + 1);
        buildPath = (workDir.back() == '/' ? workDir : workDir + "/") + leaf;
    }
    // Atomic through the rename; like the usual archivers it does not wait
    // for the disk, which would dominate batches of small archives.
    out.SetSync(false);
    // An archive found missing just now is made as a new file, which never
    // replaces one that appears meanwhile; a work folder's copy is moved
    // into place later, below.
    const bool created =
        (existed || !workDir.empty()) ? out.Create(buildPath) : out.CreateNew(buildPath);
    if (!created) {
        ctx.report.Line("cannot create a work file for " + buildPath + ": " + std::strerror(errno));
        return ERROR_TMP_OPEN;
    }
    if (!ctx.Progress(ARCEXTRACT_OPEN, path, path, 0, 0, nullptr)) return ERROR_USER_CANCEL;
    // A write that failed (a full disk, most often) is named with the
    // archive the user asked for, never the work file behind it.
    auto cannotWrite = [&](int code) {
        ctx.report.Line("cannot write " + path + ": " + std::strerror(errno) +
                        "; the old archive is unchanged");
        return code;
    };
    if (haveOld && listing.start > 0 && !CopyRange(old, 0, listing.start, out))
        return cannotWrite(ERROR_CANNOT_WRITE);
    std::size_t packed = 0;
    for (const Step& st : plan) {
        if (st.old) {
            if (!CopyRange(old, st.old->headerOffset, st.old->End(), out)) {
                ctx.report.Line("cannot copy " + st.old->name + " from the old archive");
                return cannotWrite(ERROR_CANNOT_WRITE);
            }
            continue;
        }
        MemberHeader written;
        int e = WriteMember(ctx, settings, *st.src, out, &written);
        if (e == ERROR_USER_CANCEL || ctx.Cancelled()) {
            ctx.report.Line("cancelled; " + path + " unchanged");
            return ERROR_USER_CANCEL;
        }
        if (e == ERROR_CANNOT_WRITE) return cannotWrite(e);
        if (e) {
            ctx.report.Line("failed: " + st.src->path + "; " + path + " unchanged");
            return e;
        }
        ++packed;
        ctx.report.Line(std::string(written.method) + " " + written.name + "  " +
                        std::to_string(written.originalSize) + " -> " +
                        std::to_string(written.packedSize));
    }
    const uint8_t end = 0;
    if (!out.Write(&end, 1)) return cannotWrite(ERROR_CANNOT_WRITE);
    if (ctx.Cancelled()) return ERROR_USER_CANCEL;
    if (!workDir.empty()) {
        // The finished work file is copied beside the target, then renamed.
        if (!out.Flush()) return cannotWrite(ERROR_CANNOT_WRITE);
        if (!ctx.Progress(ARCEXTRACT_COPY, path, path, out.Size(), 0, nullptr))
            return ERROR_USER_CANCEL;
        kt::AtomicFile final;
        final.SetSync(false);
        if (!final.Create(path)) return ERROR_TMP_OPEN;
        std::vector<uint8_t> buf(1 << 18);
        for (uint64_t at = 0; at < out.Size();) {
            ssize_t n = pread(out.Fd(), buf.data(), buf.size(), static_cast<off_t>(at));
            if (n <= 0 || !final.Write(buf.data(), static_cast<std::size_t>(n))) {
                ctx.report.Line("cannot copy the work file to " + path);
                return ERROR_TMP_COPY;
            }
            at += static_cast<uint64_t>(n);
        }
        out.Discard();
        if (!final.Commit()) {
            ctx.report.Line("cannot write " + path + ": " + std::strerror(errno));
            return ERROR_TMP_COPY;
        }
    } else if (!out.Commit()) {
        ctx.report.Line("cannot write " + path + ": " + std::strerror(errno));
        return ERROR_CANNOT_WRITE;
    }
    ctx.Progress(ARCEXTRACT_END, path, path, 0, 0, nullptr);
    ctx.report.Line(std::to_string(packed) + " file(s) packed, " + std::to_string(deleted) +
                    " deleted: " + path);
    return ctx.Result();
}

}  // namespace kt::unlha

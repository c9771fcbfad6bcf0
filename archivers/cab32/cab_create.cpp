#include "cab_create.h"

#include <libgcab.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/atomic_file.h"
#include "archivers/common/source_list.h"
#include "fd_output_stream.h"
#include "platform/archiver_api.h"

namespace kt::cab32 {
namespace {

template <class T>
struct GObjectDeleter {
    void operator()(T* p) const {
        if (p) g_object_unref(p);
    }
};
template <class T>
using GPtr = std::unique_ptr<T, GObjectDeleter<T>>;

struct ErrorDeleter {
    void operator()(GError* e) const { g_error_free(e); }
};

constexpr guint32 kAttrReadOnly = 0x01;
constexpr guint32 kAttrArchive = 0x20;
constexpr guint32 kAttrUtf8Name = 0x80;

bool IsAscii(const std::string& s) {
    for (unsigned char c : s)
        if (c >= 0x80) return false;
    return true;
}

// What the write callbacks need: the owner's progress and the way to stop.
struct WriteProgress {
    kt::arc::ProgressSender* progress;
    GCancellable* cancel;
    std::string archive;
};

gboolean OnFile(GCabFile* file, gpointer user) {
    auto* p = static_cast<WriteProgress*>(user);
    const char* name = gcab_file_get_name(file);
    if (!p->progress->Send(ARCEXTRACT_BEGIN, name ? name : "", p->archive, gcab_file_get_size(file),
                           0)) {
        g_cancellable_cancel(p->cancel);
        return FALSE;
    }
    return TRUE;
}

}  // namespace

int CreateCabinet(const CabCommand& cmd, kt::arc::Report& report,
                  kt::arc::ProgressSender& progress) {
    if (cmd.items.names.empty()) {
        report.Line("no files named");
        return ERROR_NOT_FILENAME;
    }
    kt::arc::SourceRules rules;
    rules.base = cmd.items.folder;
    rules.keepFolders = !cmd.junkPaths;
    rules.subfolders = cmd.recurse;
    rules.folderEntries = false;  // a cabinet holds files only
    std::vector<kt::arc::SourceFile> sources;
    std::string missing;
    if (!kt::arc::CollectSourceFiles(cmd.items.names, rules, cmd.items.archive, &sources,
                                     &missing)) {
        report.Line("file not found: " + missing);
        return ERROR_NOT_FIND_FILE;
    }
    GPtr<GCabCabinet> cabinet(gcab_cabinet_new());
    GPtr<GCabFolder> folder(gcab_folder_new(GCAB_COMPRESSION_MSZIP));
    GError* raw = nullptr;
    auto failed = [&](const std::string& what, int code) {
        std::unique_ptr<GError, ErrorDeleter> error(raw);
        report.Line(what + (error ? std::string(": ") + error->message : std::string()));
        return code;
    };
    int files = 0;
    for (const kt::arc::SourceFile& s : sources) {
        struct stat st;
        // A link is stored as the file it points at; anything else that is
        // not a plain file has no place in a cabinet.
        if (stat(s.path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
            if (!S_ISDIR(s.st.st_mode)) report.Line(s.path + ": not a plain file, not stored");
            continue;
        }
        if (st.st_size > 0x7FFF8000) {
            report.Line(s.path + ": too large for a cabinet");
            return ERROR_TOO_BIG;
        }
        GPtr<GFile> source(g_file_new_for_path(s.path.c_str()));
        // Cabinets separate folders with "\".
        std::string stored = s.stored;
        for (char& c : stored)
            if (c == '/') c = '\\';
        GPtr<GCabFile> file(gcab_file_new_with_file(stored.c_str(), source.get()));
        guint32 attr = kAttrArchive;
        if (!(st.st_mode & 0200)) attr |= kAttrReadOnly;
        if (!IsAscii(stored)) attr |= kAttrUtf8Name;
        gcab_file_set_attributes(file.get(), attr);
        GDateTime* when = g_date_time_new_from_unix_local(st.st_mtime);
        if (when) {
            gcab_file_set_date_time(file.get(), when);
            g_date_time_unref(when);
        }
        if (!gcab_folder_add_file(folder.get(), file.get(), FALSE, nullptr, &raw))
            return failed(s.path, ERROR_CANNOT_READ);
        ++files;
    }
    if (files == 0) {
        report.Line("no files to store");
        return ERROR_NOT_FIND_FILE;
    }
    if (!gcab_cabinet_add_folder(cabinet.get(), folder.get(), &raw))
        return failed("cannot build the cabinet", ERROR_MAKE_ARCHIVE);

    kt::AtomicFile out;
    out.SetSync(false);
    if (!out.Create(cmd.items.archive) || !out.Flush()) {
        report.Line(cmd.items.archive + ": " + std::strerror(errno));
        return ERROR_CANNOT_WRITE;
    }
    // libgcab goes back to patch the header, so it writes through a
    // seekable stream on the temporary file itself.
    GPtr<GOutputStream> os(NewFdOutputStream(out.Fd()));
    GPtr<GCancellable> cancel(g_cancellable_new());
    WriteProgress user{&progress, cancel.get(), cmd.items.archive};
    if (!progress.Send(ARCEXTRACT_OPEN, cmd.items.archive, cmd.items.archive, 0, 0)) {
        report.Line("cancelled");
        return ERROR_USER_CANCEL;
    }
    gboolean written =
        gcab_cabinet_write(cabinet.get(), os.get(), OnFile, nullptr, &user, cancel.get(), &raw);
    if (progress.Cancelled()) {
        failed("cancelled", 0);
        return ERROR_USER_CANCEL;
    }
    if (!written || !g_output_stream_close(os.get(), nullptr, &raw))
        return failed("cannot write the cabinet", ERROR_CANNOT_WRITE);
    if (!out.Commit()) {
        report.Line(cmd.items.archive + ": " + std::strerror(errno));
        return ERROR_CANNOT_WRITE;
    }
    progress.Send(ARCEXTRACT_END, cmd.items.archive, cmd.items.archive, 0, 0);
    return 0;
}

}  // namespace kt::cab32

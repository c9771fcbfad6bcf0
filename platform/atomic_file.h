// Crash-safe file replacement: whole small files the program keeps
// (settings, the per-user registry, shortcuts), and the streamed output of the
// archiver libraries (archives and extracted files).
#pragma once

#include <fcntl.h>
#include <sys/types.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kt {

// Reads the whole file into `data`. False with errno set (ENOENT for a missing
// file); `data` is then empty.
bool ReadWholeFile(const std::string& path, std::string& data);

// Replaces the file at `path` by `data` so that a reader, a killed writer or a
// power cut sees either the old or the new contents, never a mix: the bytes go
// to a hidden temporary file in the same folder, are flushed to disk and then
// renamed over the target. A new file gets exactly `newFileMode`; an existing
// file keeps its mode. A symbolic link is followed, so the file it names is
// replaced and the link stays. False with errno set on failure; the target is
// then untouched and the temporary file removed.
bool WriteFileAtomically(const std::string& path, std::string_view data, mode_t newFileMode);

// Creates `path` and any missing parent folders with `mode` (like mkdir -p).
// True when the folder exists afterwards.
bool MakeFolders(const std::string& path, mode_t mode);

// An output file that appears under its name only when complete: data goes
// to a temporary file beside the target (same folder, so the final rename is
// atomic), which Commit flushes to disk and renames over the target. A file
// not committed is removed when the object goes away, so a failed or
// cancelled run leaves the previous file (or nothing) behind.
class AtomicFile {
public:
    AtomicFile() = default;
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // Starts the temporary file for the path target. The final mode is that
    // of an existing target, else 0666 less the umask. False with errno set.
    bool Create(const std::string& target);
    // Same for a target the caller has just found missing (one look fewer).
    // Commit then never replaces a file that appeared there since, which is
    // someone else's: it fails with EEXIST instead.
    bool CreateNew(const std::string& target);
    // Same for the entry `name` of the open folder dirFd, which must stay
    // open until Commit or Discard.
    bool CreateAt(int dirFd, const std::string& name);

    // Buffered write; false on a write error (errno set). A write error
    // sticks: the bytes it lost are gone, so every later Flush and Commit
    // fails with the same errno and the file never appears cut short.
    bool Write(const void* data, std::size_t size);
    // Bytes written so far.
    unsigned long long Size() const { return size_; }
    // Sets the mode the committed file gets.
    void SetMode(mode_t mode) {
        mode_ = mode;
        modeSet_ = true;
    }
    // Whether Commit waits for the data to reach the disk (fsync of the file
    // and its folder) before and after the rename; on by default. Without it
    // the rename is still atomic for every reader and a failed or cancelled
    // run still leaves the old file, only a power loss right after the call
    // may lose the new one: the trade the usual archivers make for speed.
    void SetSync(bool sync) { sync_ = sync; }
    // The descriptor of the temporary file, open for reading and writing
    // (after Flush, for futimens or reading back).
    int Fd() const { return fd_; }
    bool Flush();
    // Overwrites bytes already written (a header patched after its data);
    // those still buffered are patched in memory.
    bool WriteAt(unsigned long long offset, const void* data, std::size_t size);
    // Cuts the file back to size bytes; later writes continue there.
    bool Truncate(unsigned long long size);

    // Flushes, syncs, renames over the target. False (temporary file
    // removed, target untouched) on any failure.
    bool Commit();
    // Removes the temporary file.
    void Discard();

private:
    // keepMode: the mode of the file being replaced; none for a new file.
    bool Start(int dirFd, const std::string& name, std::optional<mode_t> keepMode);
    void SyncFolder() const;
    // Gives the temporary file its final name; -1 with errno set.
    int Publish();
    // ok as passed, unless a write failed before: false with that errno.
    bool Failed(bool ok);

    int dirFd_ = AT_FDCWD;  // names below are relative to it
    int fd_ = -1;
    std::string name_;
    std::string tempName_;
    mode_t mode_ = 0;
    bool modeSet_ = false;  // else the mode the file was created with stays
    bool sync_ = true;
    bool noReplace_ = false;  // CreateNew: the target was missing
    unsigned long long size_ = 0;
    int writeError_ = 0;  // the errno of the first failed write; 0 while none
    std::vector<unsigned char> buffer_;
};

}  // namespace kt

// The calls every file writer of the program and its libraries goes
// through, so that a test can make one of them fail as a full or broken
// disk would. Set before the process starts (read once, on first use):
//
//   KT_FAULT_WRITE=N    the N-th write (write or pwrite) and every later one
//   KT_FAULT_FSYNC=N    the N-th fsync and every later one
//   KT_FAULT_RENAME=N   the N-th rename (rename, renameat, renameat2, linkat) and later
//   KT_FAULT_ERRNO=EIO  the error they fail with (ENOSPC when not set)
//   KT_FAULT_DAMAGE=N   the N-th archive tested right after it was made has
//                       one byte in its middle changed first (BeforeArchiveTest)
//   KT_FAULT_CHANGE_SOURCE=N  the N-th source whose new archive is about to
//                       be tested gets one byte appended, as if a program
//                       wrote to it while it was packed (BeforeArchiveTest)
//   KT_FAULT_TEST_DELAY_MS=N  every archive waits N ms before that test, as
//                       on a slow disk, so a test can interrupt a run there
//   KT_FAULT_LOG=path   every fault that fires appends a line naming its kind
//                       to this file (from every module and process)
//
// Counting is per module and per process: the program and each archiver
// library keep their own counts, and with kaltri --jobs above 1 so does
// each worker. Without these variables every call goes straight through.
#pragma once

#include <sys/types.h>

#include <cstddef>

namespace kt::fault {

// Reads the variables again: for a test that sets them in a child process
// it forked after the first file was written.
void Reload();

ssize_t Write(int fd, const void* data, std::size_t size);
ssize_t PWrite(int fd, const void* data, std::size_t size, off_t offset);
int Fsync(int fd);
int Rename(const char* from, const char* to);
int RenameAt(int fromDir, const char* from, int toDir, const char* to);
// renameat2 with RENAME_NOREPLACE: fails with EEXIST instead of replacing.
int RenameAtNoReplace(int fromDir, const char* from, int toDir, const char* to);
int LinkAt(int fromDir, const char* from, int toDir, const char* to, int flags);

// Called between making an archive (still under its temporary name) and
// testing it; does what KT_FAULT_DAMAGE, KT_FAULT_CHANGE_SOURCE and
// KT_FAULT_TEST_DELAY_MS ask.
void BeforeArchiveTest(const char* archive, const char* source);

}  // namespace kt::fault

// The calls every file writer of the program and its libraries goes
// through, so that a test can make one of them fail as a full or broken
// disk would. Set before the process starts (read once, on first use):
//
//   KT_FAULT_WRITE=N    the N-th write (write or pwrite) and every later one
//   KT_FAULT_FSYNC=N    the N-th fsync and every later one
//   KT_FAULT_RENAME=N   the N-th rename (rename, renameat, linkat) and later
//   KT_FAULT_ERRNO=EIO  the error they fail with (ENOSPC when not set)
//
// Counting is per module: the program and each archiver library keep their
// own counts. Without these variables every call goes straight through.
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
int LinkAt(int fromDir, const char* from, int toDir, const char* to, int flags);

}  // namespace kt::fault

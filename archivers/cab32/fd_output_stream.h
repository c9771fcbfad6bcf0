// A seekable GIO output stream over a descriptor, for libgcab: it goes back
// to patch the cabinet's header, so it needs to seek, and every write goes
// through the fault hook (platform/fault_injection.h) as every other file
// writer's does, so a full or broken disk reaches cabinet creation too.
#pragma once

#include <gio/gio.h>

namespace kt::cab32 {

// The descriptor stays the caller's: closing the stream leaves it open.
GOutputStream* NewFdOutputStream(int fd);

}  // namespace kt::cab32

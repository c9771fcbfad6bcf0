// Packing one source into one archive through the archive layer, configured
// exactly as the window's run configures its archive component.
#pragma once

#include <atomic>
#include <string>

#include "options.h"
#include "archive/worker_pool.h"

namespace kaltri {

class ArchivePacker {
public:
    // The pack options of `options` (format, level, method, effort);
    // password: empty for none (ZIP only). `interrupted` is polled through
    // the archive component's progress event so that a library stops a
    // command cleanly (leaving no partial archive) when it is set.
    ArchivePacker(const Options& options, std::string password,
                  const std::atomic<bool>& interrupted);
    ~ArchivePacker();
    ArchivePacker(const ArchivePacker&) = delete;
    ArchivePacker& operator=(const ArchivePacker&) = delete;

    // Packs source into archive, which appears only once complete; on
    // failure an old archive stays as it was. newArchive: the run has just
    // found no archive there.
    kt::JobResult Pack(const std::string& archive, const std::string& source,
                       bool newArchive = false);

private:
    struct Impl;
    Impl* impl_;
};

// Empty when the format's libraries can be loaded, else the layer's text
// naming what is missing.
std::string MissingLibraryText(kt::TArchiverType format);

}  // namespace kaltri

// Exported entry points of ZIP32.DLL.
#include <exception>

#include "archive_job.h"
#include "zip32_engine.h"

#define KT_EXPORT extern "C" __attribute__((visibility("default")))

KT_EXPORT int Zip32Execute(const ZIP32_JOB* job) {
    if (!job || job->structSize < sizeof(ZIP32_JOB)) return ERROR_COMMAND_NAME;
    try {
        return kt::zip32::RunArchiveJob(*job);
    } catch (const std::bad_alloc&) {
        return ERROR_ENOUGH_MEMORY;
    } catch (...) {
        return ERROR_UNKNOWN;
    }
}

KT_EXPORT WORD Zip32GetVersion(void) { return 100; }

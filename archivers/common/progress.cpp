#include "progress.h"

namespace kt::arc {

bool ProgressSender::Send(UINT state, const std::string& source, const std::string& dest,
                          uint64_t size, uint64_t done) {
    if (cancelled_) return false;
    if (!owner_.Active()) return true;
    EXTRACTINGINFOEX info{};
    info.exinfo.dwFileSize = static_cast<DWORD>(size > 0xFFFFFFFFull ? 0xFFFFFFFFull : size);
    info.exinfo.dwWriteSize = static_cast<DWORD>(done > 0xFFFFFFFFull ? 0xFFFFFFFFull : done);
    CopyFixed(info.exinfo.szSourceFileName, source);
    CopyFixed(info.exinfo.szDestFileName, dest);
    if (owner_.Send(state, &info)) cancelled_ = true;
    return !cancelled_;
}

}  // namespace kt::arc

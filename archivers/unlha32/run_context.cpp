#include "run_context.h"

#include "archivers/common/file_time.h"

namespace kt::unlha {

bool RunContext::Progress(UINT state, const std::string& source, const std::string& dest,
                          uint64_t size, uint64_t done, const MemberHeader* h) {
    if (cancelled_) return false;
    if (!owner_.Active()) return true;
    EXTRACTINGINFOEX info{};
    info.exinfo.dwFileSize = static_cast<DWORD>(size > 0xFFFFFFFFull ? 0xFFFFFFFFull : size);
    info.exinfo.dwWriteSize = static_cast<DWORD>(done > 0xFFFFFFFFull ? 0xFFFFFFFFull : done);
    kt::arc::CopyFixed(info.exinfo.szSourceFileName, source);
    kt::arc::CopyFixed(info.exinfo.szDestFileName, dest);
    if (h) {
        info.dwCompressedSize =
            static_cast<DWORD>(h->packedSize > 0xFFFFFFFFull ? 0xFFFFFFFFull : h->packedSize);
        info.dwCRC = h->crc;
        info.uOSType = static_cast<unsigned char>(h->osId);
        info.wRatio = RatioPerMille(h->packedSize, h->originalSize);
        uint32_t dos = kt::arc::UnixToDosDateTime(h->mtime);
        info.wDate = static_cast<WORD>(dos >> 16);
        info.wTime = static_cast<WORD>(dos & 0xFFFF);
        kt::arc::CopyFixed(info.szAttribute, AttributeText(*h));
        kt::arc::CopyFixed(info.szMode, h->method);
    }
    if (owner_.Send(state, &info)) {
        cancelled_ = true;
        Fail(ERROR_USER_CANCEL);
        return false;
    }
    return true;
}

void RunContext::Fail(int code) {
    if (code == 0) return;
    bool warning = result_ >= 0x8005 && result_ <= 0x8011;
    bool newIsError = !(code >= 0x8005 && code <= 0x8011);
    if (result_ == 0 || (warning && newIsError)) result_ = code;
    if (code == ERROR_USER_CANCEL) result_ = code;
}

std::string AttributeText(const MemberHeader& h) {
    uint8_t a = h.IsDirectory() ? static_cast<uint8_t>(h.dosAttr | 0x10) : h.dosAttr;
    std::string s = "-----";
    if (a & 0x01) s[0] = 'R';
    if (a & 0x02) s[1] = 'H';
    if (a & 0x04) s[2] = 'S';
    if (a & 0x10) s[3] = 'D';
    if (a & 0x20) s[4] = 'A';
    return s;
}

}  // namespace kt::unlha

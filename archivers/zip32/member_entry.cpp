#include "member_entry.h"

#include "archivers/common/file_time.h"

namespace kt::zip32 {

using namespace kt::zip;

namespace {

void PutTimeExtra(std::string& local, std::string& central, const struct stat& st) {
    // Local: modification and access time; central: modification time only.
    Put16(local, kExtraTime);
    Put16(local, 9);
    local.push_back(3);
    Put32(local, static_cast<uint32_t>(static_cast<int32_t>(st.st_mtime)));
    Put32(local, static_cast<uint32_t>(static_cast<int32_t>(st.st_atime)));
    Put16(central, kExtraTime);
    Put16(central, 5);
    central.push_back(3);
    Put32(central, static_cast<uint32_t>(static_cast<int32_t>(st.st_mtime)));
}

}  // namespace

ZipEntry MemberEntry(const std::string& name, const struct stat& st, bool dosOnly) {
    ZipEntry e;
    e.name = name;
    uint32_t dos = kt::arc::UnixToDosDateTime(st.st_mtime);
    e.dosDate = static_cast<uint16_t>(dos >> 16);
    e.dosTime = static_cast<uint16_t>(dos & 0xFFFF);
    e.mtime = st.st_mtime;
    bool dir = S_ISDIR(st.st_mode);
    uint32_t dosAttr = (dir ? 0x10 : 0) | ((st.st_mode & S_IWUSR) ? 0 : 0x01);
    // Times that fit the field's signed 32 bits only.
    bool timeFits = st.st_mtime >= INT32_MIN && st.st_mtime <= INT32_MAX &&
                    st.st_atime >= INT32_MIN && st.st_atime <= INT32_MAX;
    if (timeFits) PutTimeExtra(e.extraLocal, e.extraCentral, st);
    if (dosOnly) {
        e.versionMadeBy = (kHostDos << 8) | 20;
        e.externalAttr = dosAttr | (dir ? 0 : 0x20);
    } else {
        e.versionMadeBy = (kHostUnix << 8) | 30;
        uint32_t mode = static_cast<uint32_t>(st.st_mode) & 0xFFFF;
        if (!S_ISDIR(st.st_mode)) mode = (mode & 07777) | S_IFREG;
        // The mode travels in the external attributes. Owner and group ids
        // (0x7875) are left out: they mean nothing on another machine.
        e.externalAttr = (mode << 16) | dosAttr;
    }
    return e;
}

}  // namespace kt::zip32

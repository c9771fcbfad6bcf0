#include "bga_reader.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "archivers/common/file_time.h"
#include "platform/archiver_api.h"
#include "platform/cp932.h"

namespace kt::bga32 {
namespace {

constexpr std::size_t kHeader = 28;
constexpr uint8_t kFolderAttribute = 0x10;

uint32_t Le(const unsigned char* p, int n) {
    uint32_t v = 0;
    for (int i = n - 1; i >= 0; --i) v = (v << 8) | p[i];
    return v;
}

int KindOf(const unsigned char* header) {
    if (std::memcmp(header + 4, "GZIP", 4) == 0) return kGza;
    if (std::memcmp(header + 4, "BZ2\0", 4) == 0) return kBza;
    return 0;
}

// The MS-DOS date and time, when they look like one (month 1..12, day
// 1..31, hour < 24, minute < 60); 0 otherwise.
int64_t DosTimeOrZero(uint16_t date, uint16_t time) {
    unsigned month = (date >> 5) & 15, day = date & 31, hour = time >> 11,
             minute = (time >> 5) & 63;
    if (month < 1 || month > 12 || day < 1 || hour > 23 || minute > 59) return 0;
    return kt::arc::DosDateTimeToUnix((static_cast<uint32_t>(date) << 16) | time);
}

}  // namespace

BgaReader::~BgaReader() { EndCoding(); }

void BgaReader::EndCoding() {
    if (zActive_) inflateEnd(&z_);
    if (bzActive_) BZ2_bzDecompressEnd(&bz_);
    zActive_ = bzActive_ = false;
}

int BgaReader::Open(const std::string& path, std::string* error) {
    fd_.reset(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat st;
    if (fd_.get() < 0 || fstat(fd_.get(), &st) != 0) {
        *error = "cannot open the archive";
        return ERROR_ARC_FILE_OPEN;
    }
    size_ = static_cast<uint64_t>(st.st_size);
    unsigned char header[kHeader];
    if (size_ < kHeader ||
        ::pread(fd_.get(), header, kHeader, 0) != static_cast<ssize_t>(kHeader) ||
        !(format_ = KindOf(header))) {
        *error = "not a GZA or BZA archive";
        return ERROR_NOT_ARC_FILE;
    }
    in_.resize(64 * 1024);
    return 0;
}

int BgaReader::Next(kt::unpack::Member* m, std::string* error) {
    EndCoding();
    if (next_ >= size_) return -1;
    unsigned char h[kHeader];
    if (size_ - next_ < kHeader ||
        ::pread(fd_.get(), h, kHeader, static_cast<off_t>(next_)) !=
            static_cast<ssize_t>(kHeader) ||
        KindOf(h) != format_) {
        *error = "damaged member header";
        return ERROR_HEADER_BROKEN;
    }
    uint64_t packed = Le(h + 8, 4), original = Le(h + 12, 4);
    std::size_t dirLength = Le(h + 24, 2), nameLength = Le(h + 26, 2);
    uint64_t data = next_ + kHeader + dirLength + nameLength;
    if (data > size_ || packed > size_ - data) {
        *error = "member header beyond the end of the archive";
        return ERROR_HEADER_BROKEN;
    }
    std::string names(dirLength + nameLength, '\0');
    if (::pread(fd_.get(), names.data(), names.size(), static_cast<off_t>(next_ + kHeader)) !=
        static_cast<ssize_t>(names.size())) {
        *error = "cannot read the archive";
        return ERROR_CANNOT_READ;
    }
    // The first four bytes hold the sum of every byte of the header after
    // them and of the names: a damaged header is not read as another member.
    // Zero is taken as "not written", as by a writer that leaves it out.
    uint32_t sum = 0;
    for (std::size_t i = 4; i < kHeader; ++i) sum += h[i];
    for (unsigned char c : names) sum += c;
    if (Le(h, 4) != 0 && sum != Le(h, 4)) {
        *error = "member header checksum error";
        return ERROR_HEADER_CRC;
    }
    std::string folder = names.substr(0, dirLength), leaf = names.substr(dirLength);
    folder.erase(std::find(folder.begin(), folder.end(), '\0'), folder.end());
    leaf.erase(std::find(leaf.begin(), leaf.end(), '\0'), leaf.end());
    std::string name = folder.empty() || folder.back() == '\\' || folder.back() == '/'
                           ? folder + leaf
                           : folder + "\\" + leaf;
    *m = kt::unpack::Member();
    m->name = kt::Cp932ToUtf8(name);
    std::replace(m->name.begin(), m->name.end(), '\\', '/');
    while (m->name.size() > 1 && m->name.back() == '/') m->name.pop_back();
    m->kind = (h[20] & kFolderAttribute) ? kt::unpack::Member::Kind::Folder
                                         : kt::unpack::Member::Kind::File;
    m->size = original;
    m->sizeKnown = true;
    m->mtime =
        DosTimeOrZero(static_cast<uint16_t>(Le(h + 16, 2)), static_cast<uint16_t>(Le(h + 18, 2)));
    m->mode = (h[20] & 0x01) ? 0444 : 0644;
    next_ = data + packed;

    start_ = at_ = data;
    packed_ = left_ = packed;
    original_ = original;
    produced_ = 0;
    ended_ = false;
    inPos_ = inLen_ = 0;
    dataError_ = 0;
    unsigned char sig[3] = {};
    // A signature that cannot be read stays zero: the member is then taken
    // as raw data, whose own read fails where the archive is cut.
    if (::pread(fd_.get(), sig, std::min<uint64_t>(3, packed), static_cast<off_t>(data)) < 0)
        std::memset(sig, 0, sizeof sig);
    // The header says whether the member was packed (1) or kept as it is
    // (0). A kept member's bytes may look like a stream of either kind ("BZh",
    // a tiny deflate block), so it is never decoded.
    const bool kept = Le(h + 22, 2) == 0 && packed == original;
    if (kept) {
        coding_ = Coding::Stored;
    } else if (format_ == kBza && packed >= 3 && std::memcmp(sig, "BZh", 3) == 0) {
        coding_ = Coding::Bzip2;
        bz_ = bz_stream{};
        bzActive_ = BZ2_bzDecompressInit(&bz_, 0, 0) == BZ_OK;
    } else if (format_ == kGza && !(packed == original && packed < 2)) {
        coding_ = Coding::Deflate;
        z_ = z_stream{};
        bool gzip = packed >= 2 && sig[0] == 0x1F && sig[1] == 0x8B;
        zActive_ = inflateInit2(&z_, gzip ? 16 + 15 : -15) == Z_OK;
    } else {
        coding_ = Coding::Stored;
    }
    // A member as long as its original that is not a stream of its kind is
    // kept as it is.
    if (coding_ == Coding::Bzip2 && !bzActive_) coding_ = Coding::Stored;
    return 0;
}

bool BgaReader::Fill() {
    if (inPos_ < inLen_ || left_ == 0) return true;
    std::size_t n = static_cast<std::size_t>(std::min<uint64_t>(in_.size(), left_));
    if (::pread(fd_.get(), in_.data(), n, static_cast<off_t>(at_)) != static_cast<ssize_t>(n))
        return false;
    at_ += n;
    left_ -= n;
    inPos_ = 0;
    inLen_ = n;
    return true;
}

long long BgaReader::Fail(const std::string& why, std::string* error) {
    *error = why;
    dataError_ = ERROR_BROKEN_DATA;
    return -1;
}

long long BgaReader::Read(void* buffer, std::size_t size, std::string* error) {
    auto* out = static_cast<char*>(buffer);
    std::size_t done = 0;
    while (done < size && !ended_) {
        if (!Fill()) return Fail("cannot read the archive", error);
        bool inputLeft = inPos_ < inLen_;
        std::size_t before = done;
        if (coding_ == Coding::Stored) {
            if (!inputLeft) {
                ended_ = true;
                break;
            }
            std::size_t n = std::min(size - done, inLen_ - inPos_);
            std::memcpy(out + done, in_.data() + inPos_, n);
            inPos_ += n;
            done += n;
        } else if (coding_ == Coding::Deflate) {
            z_.next_in = reinterpret_cast<Bytef*>(in_.data() + inPos_);
            z_.avail_in = static_cast<uInt>(inLen_ - inPos_);
            z_.next_out = reinterpret_cast<Bytef*>(out + done);
            z_.avail_out = static_cast<uInt>(size - done);
            int rc = inflate(&z_, Z_NO_FLUSH);
            inPos_ = inLen_ - z_.avail_in;
            done = size - z_.avail_out;
            if (rc == Z_STREAM_END) {
                ended_ = true;
            } else if (rc != Z_OK && !(rc == Z_BUF_ERROR && inputLeft) && produced_ == 0 &&
                       packed_ == original_) {
                // Not deflate, and as long as the original: a member kept as
                // it is. Everything decoded so far is dropped; it all came
                // from this call.
                EndCoding();
                coding_ = Coding::Stored;
                at_ = start_;
                left_ = packed_;
                inPos_ = inLen_ = 0;
                done = 0;
            } else if (rc != Z_OK && !(rc == Z_BUF_ERROR && inputLeft)) {
                return Fail(std::string("damaged deflate data") +
                                (z_.msg ? ": " + std::string(z_.msg) : ""),
                            error);
            }
        } else {
            bz_.next_in = in_.data() + inPos_;
            bz_.avail_in = static_cast<unsigned>(inLen_ - inPos_);
            bz_.next_out = out + done;
            bz_.avail_out = static_cast<unsigned>(size - done);
            int rc = BZ2_bzDecompress(&bz_);
            inPos_ = inLen_ - bz_.avail_in;
            done = size - bz_.avail_out;
            if (rc == BZ_STREAM_END)
                ended_ = true;
            else if (rc != BZ_OK)
                return Fail("damaged bzip2 data", error);
        }
        if (done == before && !ended_ && inPos_ >= inLen_ && left_ == 0)
            return Fail("the member's data ends early", error);
    }
    produced_ += done;
    if (produced_ > original_)
        return Fail("the member decodes to more than its stored size", error);
    if (done == 0 && produced_ != original_)
        return Fail("the member decodes to less than its stored size", error);
    return static_cast<long long>(done);
}

namespace {

std::string BgaMethod(int, int format) { return format == kBza ? "bza" : "gza"; }
std::unique_ptr<kt::unpack::MemberSource> MakeBgaReader() { return std::make_unique<BgaReader>(); }

}  // namespace

const kt::unpack::ReadingFormats kBgaFormats{nullptr, BgaMethod, nullptr, MakeBgaReader};

}  // namespace kt::bga32

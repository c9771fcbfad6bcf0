#include "macbinary.h"

#include <algorithm>
#include <cstdlib>

#include "lzh_names.h"

namespace kt::unlha {
namespace {

constexpr int kNameLength = 1, kName = 2, kNameMax = 63;
constexpr int kDataLength = 0x53, kResourceLength = 0x57, kModified = 0x5F;
constexpr int64_t kMacEpochOffset = 2082844800;  // 1904-01-01 to 1970-01-01
// The header holds local time, the member UTC: they differ by a time zone.
constexpr int64_t kLargestZoneOffset = 14 * 3600;

uint32_t Be32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 |
           static_cast<uint32_t>(p[2]) << 8 | p[3];
}

bool Zero(const uint8_t* p, std::size_t n) {
    return std::all_of(p, p + n, [](uint8_t b) { return b == 0; });
}

uint64_t Pad128(uint64_t n) { return (n + 127) & ~uint64_t{127}; }

}  // namespace

std::optional<ForkRange> MacBinaryFork(const uint8_t* m, const MemberHeader& h) {
    if (m[0] != 0 || m[0x4A] != 0 || m[0x52] != 0 || !Zero(m + 0x63, kMacBinaryHeaderSize - 0x63)) {
        return std::nullopt;
    }
    const int nameLength = m[kNameLength];
    if (nameLength < 1 || nameLength > kNameMax ||
        !Zero(m + kName + nameLength, kNameMax - nameLength)) {
        return std::nullopt;
    }
    std::string name =
        StoredToUtf8(std::string(reinterpret_cast<const char*>(m + kName), nameLength), 0, h.osId);
    std::size_t slash = h.name.rfind('/');
    if (name != (slash == std::string::npos ? h.name : h.name.substr(slash + 1)))
        return std::nullopt;
    const uint64_t data = Be32(m + kDataLength), resource = Be32(m + kResourceLength);
    // MacLHA pads the whole stream to 128 bytes; MacBinary proper pads each fork.
    if (h.originalSize != Pad128(kMacBinaryHeaderSize + data + resource) &&
        h.originalSize != kMacBinaryHeaderSize + Pad128(data) + Pad128(resource)) {
        return std::nullopt;
    }
    const int64_t modified = static_cast<int64_t>(Be32(m + kModified)) - kMacEpochOffset;
    if (modified < 0 || std::llabs(modified - h.mtime) > kLargestZoneOffset) return std::nullopt;
    if (data > 0) return ForkRange{kMacBinaryHeaderSize, data};
    return ForkRange{kMacBinaryHeaderSize, resource};
}

MacBinaryStripSink::MacBinaryStripSink(const MemberHeader& h, kt::lzh::Sink& next)
    : h_(h), next_(next), deciding_(h.osId == 'm' && h.originalSize >= kMacBinaryHeaderSize) {
    keep_ = ForkRange{0, h.originalSize};
}

bool MacBinaryStripSink::Write(const uint8_t* data, std::size_t n) {
    if (!deciding_) return Forward(data, n);
    std::size_t take = std::min(n, kMacBinaryHeaderSize - head_.size());
    head_.insert(head_.end(), data, data + take);
    if (head_.size() < kMacBinaryHeaderSize) return true;
    deciding_ = false;
    if (auto fork = MacBinaryFork(head_.data(), h_)) keep_ = *fork;
    return Forward(head_.data(), head_.size()) && Forward(data + take, n - take);
}

bool MacBinaryStripSink::Finish() {
    if (!deciding_) return true;
    deciding_ = false;
    return Forward(head_.data(), head_.size());
}

bool MacBinaryStripSink::Forward(const uint8_t* data, std::size_t n) {
    const uint64_t start = pos_, end = pos_ + n;
    pos_ = end;
    const uint64_t from = std::max(start, keep_.offset),
                   to = std::min(end, keep_.offset + keep_.size);
    if (from >= to) return true;
    return next_.Write(data + (from - start), static_cast<std::size_t>(to - from));
}

}  // namespace kt::unlha

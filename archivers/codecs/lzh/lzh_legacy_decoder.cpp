// The LArc methods -lzs- and -lz5- (ring-buffer LZSS).
#include <vector>

#include "bit_reader.h"
#include "crc16.h"
#include "lzh_decoder.h"

namespace kt::lzh {
namespace {

// Collects output in chunks for the sink and the CRC.
class ChunkOut {
public:
    explicit ChunkOut(Sink& sink) : sink_(sink) { buf_.reserve(kChunk); }
    bool Put(uint8_t b) {
        buf_.push_back(b);
        return buf_.size() < kChunk || Flush();
    }
    bool Flush() {
        crc_ = Crc16Update(crc_, buf_.data(), buf_.size());
        written_ += buf_.size();
        bool ok = buf_.empty() || sink_.Write(buf_.data(), buf_.size());
        buf_.clear();
        return ok;
    }
    DecodeResult Result(Status s) { return {s, crc_, written_}; }

private:
    static constexpr std::size_t kChunk = 1 << 16;
    Sink& sink_;
    std::vector<uint8_t> buf_;
    uint16_t crc_ = 0;
    uint64_t written_ = 0;
};

// Copies a match of `len` bytes from `from` in the ring (a power of two in
// size) to the output, never past the `left` bytes the member still has.
// False when the sink fails.
bool CopyMatch(std::vector<uint8_t>& ring, unsigned& pos, unsigned from, unsigned len,
               uint64_t& left, ChunkOut& out) {
    const unsigned mask = static_cast<unsigned>(ring.size()) - 1;
    for (unsigned i = 0; i < len && left > 0; ++i, --left) {
        const uint8_t b = ring[(from + i) & mask];
        ring[pos++ & mask] = b;
        if (!out.Put(b)) return false;
    }
    return true;
}

DecodeResult DecodeLzs(Source& packed, Sink& sink, uint64_t size) {
    constexpr unsigned kRing = 2048;
    std::vector<uint8_t> ring(kRing, ' ');
    unsigned pos = kRing - 17;
    BitReader in(packed);
    ChunkOut out(sink);
    uint64_t left = size;
    while (left > 0) {
        if (in.Get(1)) {
            uint8_t b = static_cast<uint8_t>(in.Get(8));
            ring[pos++ & (kRing - 1)] = b;
            if (!out.Put(b)) return out.Result(Status::WriteError);
            --left;
        } else {
            unsigned from = in.Get(11);
            unsigned len = in.Get(4) + 2;
            if (!CopyMatch(ring, pos, from, len, left, out)) return out.Result(Status::WriteError);
        }
        if (in.Overrun()) return out.Result(Status::UnexpectedEnd);
        if (in.Failed()) return out.Result(Status::ReadError);
    }
    return out.Result(out.Flush() ? Status::Ok : Status::WriteError);
}

DecodeResult DecodeLz5(Source& packed, Sink& sink, uint64_t size) {
    constexpr unsigned kRing = 4096;
    std::vector<uint8_t> ring(kRing, 0);
    // The LArc start state: 13 copies of every byte value, the values up,
    // the values down, zeros and spaces.
    unsigned p = 0;
    for (unsigned i = 0; i < 256; ++i)
        for (int j = 0; j < 13; ++j) ring[p++] = static_cast<uint8_t>(i);
    for (unsigned i = 0; i < 256; ++i) ring[p++] = static_cast<uint8_t>(i);
    for (unsigned i = 0; i < 256; ++i) ring[p++] = static_cast<uint8_t>(255 - i);
    for (unsigned i = 0; i < 128; ++i) ring[p++] = 0;
    for (unsigned i = 0; i < 128 - 18; ++i) ring[p++] = ' ';
    unsigned pos = kRing - 18;
    BitReader in(packed);
    ChunkOut out(sink);
    uint64_t left = size;
    while (left > 0) {
        unsigned flags = in.Get(8);
        for (int bit = 0; bit < 8 && left > 0; ++bit, flags >>= 1) {
            if (flags & 1) {
                uint8_t b = static_cast<uint8_t>(in.Get(8));
                ring[pos++ & (kRing - 1)] = b;
                if (!out.Put(b)) return out.Result(Status::WriteError);
                --left;
            } else {
                unsigned b0 = in.Get(8), b1 = in.Get(8);
                unsigned from = b0 | (b1 & 0xF0) << 4;
                unsigned len = (b1 & 0x0F) + 3;
                if (!CopyMatch(ring, pos, from, len, left, out))
                    return out.Result(Status::WriteError);
            }
        }
        if (in.Overrun()) return out.Result(Status::UnexpectedEnd);
        if (in.Failed()) return out.Result(Status::ReadError);
    }
    return out.Result(out.Flush() ? Status::Ok : Status::WriteError);
}

}  // namespace

DecodeResult DecodeLegacy(MethodKind kind, Source& packed, Sink& out, uint64_t originalSize) {
    switch (kind) {
        case MethodKind::Lzs:
            return DecodeLzs(packed, out, originalSize);
        case MethodKind::Lz5:
            return DecodeLz5(packed, out, originalSize);
        default:
            return {Status::Unsupported, 0, 0};
    }
}

}  // namespace kt::lzh

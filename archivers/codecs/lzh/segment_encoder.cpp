#include "segment_encoder.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "crc16.h"
#include "platform/ordered_pool.h"

namespace kt::lzh {
namespace {

// Appends bit strings (MSB first) one after the other and hands whole bytes
// to the sink; the last byte is padded with zeros.
class BitJoiner {
public:
    explicit BitJoiner(Sink& out) : out_(out) {}

    bool Append(const std::vector<uint8_t>& bits, uint64_t count) {
        std::size_t whole = static_cast<std::size_t>(count / 8);
        int rest = static_cast<int>(count % 8);
        if (carryBits_ == 0) {
            if (whole > 0 && !out_.Write(bits.data(), whole)) return false;
        } else {
            // Shift every byte by the carried bits.
            buf_.resize(whole);
            const int c = carryBits_;
            for (std::size_t i = 0; i < whole; ++i) {
                uint8_t b = bits[i];
                buf_[i] = static_cast<uint8_t>(carry_ | (b >> c));
                carry_ = static_cast<uint8_t>(b << (8 - c));
            }
            if (whole > 0 && !out_.Write(buf_.data(), whole)) return false;
        }
        written_ += whole;
        if (rest > 0) {
            uint8_t last = static_cast<uint8_t>(bits[whole] & (0xFF00u >> rest));
            if (carryBits_ + rest >= 8) {
                uint8_t full = static_cast<uint8_t>(carry_ | (last >> carryBits_));
                if (!out_.Write(&full, 1)) return false;
                ++written_;
                carry_ = static_cast<uint8_t>(last << (8 - carryBits_));
                carryBits_ = carryBits_ + rest - 8;
            } else {
                carry_ = static_cast<uint8_t>(carry_ | (last >> carryBits_));
                carryBits_ += rest;
            }
        }
        return true;
    }
    bool Finish() {
        if (carryBits_ == 0) return true;
        carryBits_ = 0;
        ++written_;
        return out_.Write(&carry_, 1);
    }
    // Bytes handed to the sink and begun (the carried partial byte counts).
    uint64_t Size() const { return written_ + (carryBits_ > 0 ? 1 : 0); }

private:
    Sink& out_;
    uint8_t carry_ = 0;  // the first carryBits_ bits are pending
    int carryBits_ = 0;
    uint64_t written_ = 0;
    std::vector<uint8_t> buf_;
};

struct Segment {
    std::vector<uint8_t> in;   // the window before the data, then the data
    std::size_t history = 0;   // bytes of `in` that are only history
    std::vector<uint8_t> out;  // the segment's bits
    uint64_t bits = 0;
    Status status = Status::Ok;
};

void EncodeOne(const EncodeOptions& o, Segment& s) {
    s.status = EncodeSegment(o, s.in.data(), s.history, s.in.data() + s.history,
                             s.in.size() - s.history, &s.out, &s.bits);
}

// Reads up to n bytes (fewer only at the end); -1 on failure.
std::ptrdiff_t ReadFull(Source& in, uint8_t* buf, std::size_t n) {
    std::size_t got = 0;
    while (got < n) {
        std::ptrdiff_t r = in.Read(buf + got, n - got);
        if (r < 0) return -1;
        if (r == 0) break;
        got += static_cast<std::size_t>(r);
    }
    return static_cast<std::ptrdiff_t>(got);
}

}  // namespace

EncodeResult EncodeInSegments(const EncodeOptions& options, Source& in, Sink& out) {
    const std::size_t window = std::size_t{1} << options.dictBits;
    BitJoiner joiner(out);
    EncodeResult r;
    std::vector<uint8_t> history;  // the window before the next segment
    // Reads the next segment after the window before it; an input that ends
    // at a segment's border gives a last segment with no data.
    auto fill = [&](Segment& s, bool& last) {
        s.history = history.size();
        s.in.resize(history.size() + kSegmentBytes);
        std::memcpy(s.in.data(), history.data(), history.size());
        std::ptrdiff_t got = ReadFull(in, s.in.data() + s.history, kSegmentBytes);
        if (got < 0) return false;
        s.in.resize(s.history + static_cast<std::size_t>(got));
        r.crc = Crc16Update(r.crc, s.in.data() + s.history, static_cast<std::size_t>(got));
        r.inSize += static_cast<uint64_t>(got);
        // The tables were sized for the size announced: more is a changed file.
        if (options.sizeHint > 0 && r.inSize > options.sizeHint) return false;
        last = static_cast<std::size_t>(got) < kSegmentBytes;
        std::size_t keep = std::min(window, s.in.size());
        history.assign(s.in.end() - static_cast<std::ptrdiff_t>(keep), s.in.end());
        return true;
    };
    auto encode = [&options](Segment& s, std::size_t) {
        if (s.in.size() == s.history) {
            s.bits = 0;
            s.status = Status::Ok;
        } else {
            EncodeOne(options, s);
        }
    };
    OrderedPool<Segment> segments(static_cast<std::size_t>(std::max(1, options.threads)),
                                  options.addThread, fill, encode);
    while (Segment* s = segments.Next()) {
        if (s->status != Status::Ok) return {s->status, r.inSize, joiner.Size(), r.crc};
        if (!joiner.Append(s->out, s->bits))
            return {Status::WriteError, r.inSize, joiner.Size(), r.crc};
        if (joiner.Size() >= options.giveUpAfter)
            return {Status::NotSmaller, r.inSize, joiner.Size(), r.crc};
    }
    if (segments.Failed()) return {Status::ReadError, r.inSize, joiner.Size(), r.crc};
    if (!joiner.Finish()) return {Status::WriteError, r.inSize, joiner.Size(), r.crc};
    r.outSize = joiner.Size();
    return r;
}

}  // namespace kt::lzh

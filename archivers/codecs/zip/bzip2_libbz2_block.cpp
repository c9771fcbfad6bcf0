#include "archivers/codecs/zip/bzip2_libbz2_block.h"

#include <bzlib.h>

#include <algorithm>
#include <memory>

#include "archivers/codecs/zip/bzip2_block_decoder.h"

namespace kt::zip {
namespace {

// Appends bits most significant first, as bzip2 stores them.
class BitWriter {
public:
    explicit BitWriter(std::vector<uint8_t>& out) : out_(out) {}
    void Put(uint64_t value, int bits) {  // bits <= 56
        acc_ = acc_ << bits | (value & ((uint64_t{1} << bits) - 1));
        n_ += bits;
        while (n_ >= 8) {
            n_ -= 8;
            out_.push_back(static_cast<uint8_t>(acc_ >> n_));
        }
    }
    // Copies `bits` bits starting `shift` bits into `in`; the writer must be
    // at a byte boundary.
    void Copy(const uint8_t* in, int shift, uint64_t bits) {
        const size_t whole = static_cast<size_t>(bits / 8);
        const size_t at = out_.size();
        out_.resize(at + whole);
        uint8_t* o = out_.data() + at;
        if (shift == 0) {
            std::copy(in, in + whole, o);
        } else {
            for (size_t i = 0; i < whole; ++i)
                o[i] = static_cast<uint8_t>(in[i] << shift | in[i + 1] >> (8 - shift));
        }
        if (int rest = static_cast<int>(bits % 8)) {
            unsigned last = (static_cast<unsigned>(in[whole]) << 8 | in[whole + 1]) << shift;
            Put((last >> 8 & 0xFF) >> (8 - rest), rest);
        }
    }
    void Finish() {
        if (n_) Put(0, 8 - n_);
    }

private:
    std::vector<uint8_t>& out_;
    uint64_t acc_ = 0;
    int n_ = 0;
};

}  // namespace

bool DecodeBlockWithLibbz2(const uint8_t* data, uint64_t from, uint64_t to, int level, uint32_t crc,
                           size_t most, std::vector<uint8_t>& out) {
    std::vector<uint8_t> in;
    in.reserve(static_cast<size_t>((to - from) / 8) + 16);
    BitWriter w(in);
    for (char c : {'B', 'Z', 'h', static_cast<char>('0' + level)})
        w.Put(static_cast<uint8_t>(c), 8);
    w.Copy(data + from / 8, static_cast<int>(from % 8), to - from);
    w.Put(kBzip2EndMagic, 48);
    w.Put(crc, 32);
    w.Finish();

    bz_stream z{};
    if (BZ2_bzDecompressInit(&z, 0, 0) != BZ_OK) return false;
    std::unique_ptr<bz_stream, int (*)(bz_stream*)> guard(&z, BZ2_bzDecompressEnd);
    z.next_in = reinterpret_cast<char*>(in.data());
    z.avail_in = static_cast<unsigned>(in.size());
    out.resize(std::min<size_t>(1u << 20, most));
    size_t produced = 0;
    for (;;) {
        z.next_out = reinterpret_cast<char*>(out.data() + produced);
        z.avail_out = static_cast<unsigned>(out.size() - produced);
        int r = BZ2_bzDecompress(&z);
        produced = out.size() - z.avail_out;
        if (r == BZ_STREAM_END) {
            out.resize(produced);
            return true;
        }
        if (r != BZ_OK) return false;
        if (z.avail_out == 0) {
            if (out.size() >= most) return false;
            out.resize(std::min(out.size() * 2, most));
        } else if (z.avail_in == 0) {
            return false;
        }
    }
}

}  // namespace kt::zip

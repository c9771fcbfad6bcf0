#include "zip_bzip2_blocks.h"

#include <bzlib.h>

#include <algorithm>
#include <memory>
#include <new>
#include <vector>

#include "platform/core_budget.h"
#include "platform/ordered_pool.h"
#include "zip_methods.h"

namespace kt::zip {
namespace {

constexpr uint64_t kBlockMagic = 0x314159265359;
constexpr uint64_t kEndMagic = 0x177245385090;
constexpr uint64_t kNotFound = UINT64_MAX;
// A block's packed bits stay far below this (900 000 symbols of at most 20
// bits each); a longer stretch without a magic means one was damaged.
constexpr size_t kMostBlockBytes = 3u << 20;
// bzip2's first run-length stage lets a block expand up to 51 times; the
// rare block beyond this bound is left to the sequential decoder.
constexpr size_t kMostBlockOutput = 16u << 20;
constexpr size_t kReadPiece = 1u << 20;
// Zero bytes behind the last read byte, so that every position can be
// looked at with one 8-byte load.
constexpr size_t kPad = 8;

uint64_t Load64(const uint8_t* p) {
    uint64_t v = 0;
    for (int i = 0; i < 8; ++i) v = v << 8 | p[i];
    return v;
}

// For each byte value, the bit offsets (bit s = offset s) at which a magic
// starting in the byte before would put that value in the next byte. Most
// bytes match no offset, so most positions cost one table look-up.
struct MagicTable {
    uint8_t offsets[256] = {};
    MagicTable() {
        for (uint64_t magic : {kBlockMagic, kEndMagic})
            for (int s = 0; s < 8; ++s) offsets[((magic << 16) >> s) >> 48 & 0xFF] |= 1u << s;
    }
};

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

// One block as a stream of its own, decoded into out; false when libbz2
// refuses it or it grows beyond the bound.
bool DecodeBlockStream(const std::vector<uint8_t>& in, std::vector<uint8_t>& out) {
    bz_stream z{};
    if (BZ2_bzDecompressInit(&z, 0, 0) != BZ_OK) return false;
    std::unique_ptr<bz_stream, int (*)(bz_stream*)> guard(&z, BZ2_bzDecompressEnd);
    z.next_in = reinterpret_cast<char*>(const_cast<uint8_t*>(in.data()));
    z.avail_in = static_cast<unsigned>(in.size());
    out.resize(1u << 20);
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
            if (out.size() >= kMostBlockOutput) return false;
            out.resize(std::min(out.size() * 2, kMostBlockOutput));
        } else if (z.avail_in == 0) {
            return false;
        }
    }
}

// Finds the blocks on the calling thread and decodes them on the pool's.
class Splitter {
public:
    enum class End { Done, Fallback, Stopped, ReadError };

    Splitter(const ReadAtFn& read, uint64_t size, const EmitFn& emit)
        : read_(read),
          size_(size),
          emit_(emit),
          extra_(CoreCount() - 1),
          pool_(static_cast<size_t>(CoreCount()), [this] { return extra_.TryAdd(); },
                [this](Block& b, bool& last) { return NextBlock(b, last); },
                [](Block& b, size_t) { b.ok = DecodeBlock(b); }) {}

    End Run();
    // Bytes handed to emit so far, all of them from blocks that decoded.
    uint64_t Emitted() const { return emitted_; }
    uint64_t Blocks() const { return blocks_; }
    size_t Threads() const { return pool_.Threads(); }

private:
    struct Block {
        std::vector<uint8_t> in, out;
        bool ok = false;
    };
    static bool DecodeBlock(Block& b) {
        try {
            return DecodeBlockStream(b.in, b.out);
        } catch (const std::bad_alloc&) {
            return false;
        }
    }

    bool Fill();
    uint64_t Bits(uint64_t at, int n) const;
    uint64_t FindMagic(uint64_t from, bool& end);
    void DropBefore(uint64_t byte);
    bool Start();
    // The pool's reader: the next block as a stream of its own. False (and
    // end_ says why) when the stream does not go on as expected.
    bool NextBlock(Block& b, bool& last);

    const ReadAtFn& read_;
    const uint64_t size_;
    const EmitFn& emit_;
    uint64_t emitted_ = 0;
    uint64_t blocks_ = 0;
    End end_ = End::Fallback;  // why NextBlock stopped the pool

    std::vector<uint8_t> buf_;  // packed bytes from bufStart_ on, then kPad zeros once all is read
    uint64_t bufStart_ = 0;
    uint64_t readTo_ = 0;
    bool failed_ = false;
    uint64_t scanned_ = 0;  // bit positions below this hold no magic past the last one found
    char level_ = '9';
    uint64_t block_ = 0;  // bit position of the next block's magic
    uint32_t combined_ = 0;

    ExtraCores extra_;
    OrderedPool<Block> pool_;  // last: its helpers stop before the rest goes
};

bool Splitter::Fill() {
    if (readTo_ >= size_) return false;
    const size_t n = static_cast<size_t>(std::min<uint64_t>(kReadPiece, size_ - readTo_));
    const size_t at = buf_.size();
    buf_.resize(at + n);
    if (!read_(readTo_, buf_.data() + at, n)) {
        failed_ = true;
        return false;
    }
    readTo_ += n;
    if (readTo_ == size_) buf_.resize(buf_.size() + kPad, 0);
    return true;
}

uint64_t Splitter::Bits(uint64_t at, int n) const {
    const uint64_t rel = at - bufStart_ * 8;
    return (Load64(buf_.data() + rel / 8) << (rel % 8)) >> (64 - n);
}

// The first magic at a bit position >= from, reading on as needed;
// kNotFound at the end of the data or when a block would be too long.
uint64_t Splitter::FindMagic(uint64_t from, bool& end) {
    static const MagicTable table;
    uint64_t p = std::max(from, scanned_) / 8 - bufStart_;
    for (;;) {
        // A magic starting in byte p lies within bytes p to p + 6.
        const size_t limit = buf_.size() >= 8 ? buf_.size() - 7 : 0;
        for (; p < limit; ++p) {
            unsigned offsets = table.offsets[buf_[p + 1]];
            if (!offsets) continue;
            const uint64_t w = Load64(buf_.data() + p);
            for (int s = 0; offsets; ++s, offsets >>= 1) {
                if (!(offsets & 1)) continue;
                const uint64_t bit = (bufStart_ + p) * 8 + s;
                if (bit < from) continue;
                const uint64_t v = (w << s) >> 16;
                if (v == kBlockMagic || v == kEndMagic) {
                    end = v == kEndMagic;
                    scanned_ = bit + 1;
                    return bit;
                }
            }
        }
        scanned_ = (bufStart_ + p) * 8;
        if (readTo_ == size_ || failed_) return kNotFound;
        if (bufStart_ + buf_.size() - from / 8 > kMostBlockBytes) return kNotFound;
        if (!Fill()) return kNotFound;
    }
}

void Splitter::DropBefore(uint64_t byte) {
    const size_t n = static_cast<size_t>(byte - bufStart_);
    // Moving the tail down costs little once a block's worth has gone.
    if (n < kReadPiece) return;
    buf_.erase(buf_.begin(), buf_.begin() + static_cast<std::ptrdiff_t>(n));
    bufStart_ = byte;
}

// The stream header and the first block's magic right behind it.
bool Splitter::Start() {
    while (buf_.size() < 4 + 6 + kPad && Fill()) {
    }
    if (failed_) return false;
    if (buf_.size() < 4 + 6 + kPad || buf_[0] != 'B' || buf_[1] != 'Z' || buf_[2] != 'h' || buf_[3] < '1' ||
        buf_[3] > '9')
        return false;
    level_ = static_cast<char>(buf_[3]);
    bool end = false;
    block_ = FindMagic(32, end);
    return block_ == 32 && !end;
}

bool Splitter::NextBlock(Block& b, bool& last) {
    if (block_ == 0 && !Start()) {
        end_ = failed_ ? End::ReadError : End::Fallback;
        return false;
    }
    bool end = false;
    const uint64_t next = FindMagic(block_ + 48, end);
    if (next == kNotFound) {
        end_ = failed_ ? End::ReadError : End::Fallback;
        return false;
    }
    const uint32_t crc = static_cast<uint32_t>(Bits(block_ + 48, 32));
    combined_ = (combined_ << 1 | combined_ >> 31) ^ crc;
    b.in.clear();
    b.in.reserve(static_cast<size_t>((next - block_) / 8) + 16);
    BitWriter w(b.in);
    for (char c : {'B', 'Z', 'h', level_}) w.Put(static_cast<uint8_t>(c), 8);
    const uint64_t rel = block_ - bufStart_ * 8;
    w.Copy(buf_.data() + rel / 8, static_cast<int>(rel % 8), next - block_);
    w.Put(kEndMagic, 48);
    w.Put(crc, 32);  // one block: the stream CRC is the block's
    w.Finish();
    if (end) {
        // The stream must end here: its CRC matches and nothing follows.
        end_ = End::Fallback;
        if ((next + 48 + 32 + 7) / 8 != size_) return false;
        while (readTo_ < size_ && Fill()) {
        }
        if (failed_) {
            end_ = End::ReadError;
            return false;
        }
        if (static_cast<uint32_t>(Bits(next + 48, 32)) != combined_) return false;
        last = true;
    }
    DropBefore(next / 8);
    block_ = next;
    return true;
}

Splitter::End Splitter::Run() {
    while (Block* b = pool_.Next()) {
        if (!b->ok) return End::Fallback;
        if (!b->out.empty() && !emit_(b->out.data(), b->out.size())) return End::Stopped;
        emitted_ += b->out.size();
        ++blocks_;
    }
    return pool_.Failed() ? end_ : End::Done;
}

}  // namespace

ZipStatus DecodeBzip2Blocks(const ReadAtFn& read, uint64_t size, const EmitFn& emit,
                            Bzip2SplitReport* report) {
    Bzip2SplitReport ignored;
    if (!report) report = &ignored;
    *report = Bzip2SplitReport();
    uint64_t skip = 0;
    {
        Splitter splitter(read, size, emit);
        const Splitter::End end = splitter.Run();
        report->blocks = splitter.Blocks();
        report->threads = splitter.Threads();
        switch (end) {
            case Splitter::End::Done:
                return ZipStatus::Ok;
            case Splitter::End::Stopped:
                return ZipStatus::Stopped;
            case Splitter::End::ReadError:
                return ZipStatus::ReadError;
            case Splitter::End::Fallback:
                skip = splitter.Emitted();
                break;
        }
    }
    report->fellBack = true;
    // From the start again, one block after the other; what was emitted
    // already is decoded once more but not passed on twice.
    uint64_t at = 0;
    PullFn pull = [&](uint8_t* buf, size_t n) -> std::ptrdiff_t {
        n = static_cast<size_t>(std::min<uint64_t>(n, size - at));
        if (n == 0) return 0;
        if (!read(at, buf, n)) return -1;
        at += n;
        return static_cast<std::ptrdiff_t>(n);
    };
    EmitFn rest = [&](const uint8_t* data, size_t n) {
        const size_t passed = static_cast<size_t>(std::min<uint64_t>(skip, n));
        skip -= passed;
        return n == passed || emit(data + passed, n - passed);
    };
    ZipStatus st = Bzip2Stream(pull, rest);
    // Fewer bytes than were emitted: the two decodings disagree.
    if (st == ZipStatus::Ok && skip > 0) return ZipStatus::Broken;
    return st;
}

}  // namespace kt::zip

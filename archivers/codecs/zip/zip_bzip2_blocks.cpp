#include "archivers/codecs/zip/zip_bzip2_blocks.h"

#include <algorithm>
#include <memory>
#include <new>
#include <vector>

#include "archivers/codecs/zip/bzip2_block_decoder.h"
#include "archivers/codecs/zip/bzip2_crc.h"
#include "archivers/codecs/zip/bzip2_libbz2_block.h"
#include "platform/core_budget.h"
#include "platform/ordered_pool.h"
#include "archivers/codecs/zip/zip_methods.h"

namespace kt::zip {
namespace {

constexpr uint64_t kNotFound = UINT64_MAX;
// bzip2's first run-length stage lets a block expand up to 51 times; the
// rare block beyond this bound is left to the sequential decoder, which
// passes such a block on in pieces.
constexpr size_t kMostBlockOutput = 16u << 20;
constexpr size_t kReadPiece = 1u << 20;
// Zero bytes behind the last read byte, so that every position can be
// looked at with one 8-byte load.
constexpr size_t kPad = kBzip2ReadPad;

// For each byte value, the bit offsets (bit s = offset s) at which a magic
// starting in the byte before would put that value in the next byte. Most
// bytes match no offset, so most positions cost one table look-up.
struct MagicTable {
    uint8_t offsets[256] = {};
    MagicTable() {
        for (uint64_t magic : {kBzip2BlockMagic, kBzip2EndMagic})
            for (int s = 0; s < 8; ++s) offsets[((magic << 16) >> s) >> 48 & 0xFF] |= 1u << s;
    }
};

// Finds the blocks on the calling thread and decodes them on the pool's.
class Splitter {
public:
    enum class End { Done, Fallback, Stopped, ReadError };

    Splitter(const ReadAtFn& read, uint64_t size, const EmitFn& emit)
        : read_(read),
          size_(size),
          emit_(emit),
          decoders_(static_cast<size_t>(CoreCount())),
          extra_(CoreCount() - 1),
          pool_(
              static_cast<size_t>(CoreCount()), [this] { return extra_.TryAdd(); },
              [this](Block& b, bool& last) { return NextBlock(b, last); },
              [this](Block& b, size_t thread) { b.ok = DecodeBlock(b, thread); }) {}

    End Run();
    // Bytes handed to emit so far, all of them from blocks that decoded.
    uint64_t Emitted() const { return emitted_; }
    uint64_t Blocks() const { return blocks_; }
    size_t Threads() const { return pool_.Threads(); }

private:
    struct Block {
        std::vector<uint8_t> in, out;  // the block's packed bytes (kPad more), its output
        uint64_t endBit = 0;           // where the next magic starts, counted from in[0]
        int shift = 0;                 // where the block's magic starts in in[0]
        bool ok = false;
    };
    bool DecodeBlock(Block& b, size_t thread);

    bool Fill();
    uint64_t Bits(uint64_t at, int n) const {
        return Bzip2Bits(buf_.data(), at - bufStart_ * 8, n);
    }
    uint64_t FindMagic(uint64_t from, bool& end);
    void DropBefore(uint64_t byte);
    bool Start();
    // The pool's reader: the next block's packed bytes. False (and end_
    // says why) when the stream does not go on as expected.
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
    int level_ = 9;         // the stream's block size, from its header
    uint64_t block_ = 0;    // bit position of the next block's magic
    uint32_t combined_ = 0;

    // One per pool thread number, made by the thread that first needs it.
    std::vector<std::unique_ptr<Bzip2BlockDecoder>> decoders_;
    ExtraCores extra_;
    OrderedPool<Block> pool_;  // last: its helpers stop before the rest goes
};

bool Splitter::DecodeBlock(Block& b, size_t thread) {
    try {
        std::unique_ptr<Bzip2BlockDecoder>& decoder = decoders_.at(thread);
        if (!decoder) decoder = std::make_unique<Bzip2BlockDecoder>();
        const size_t size = b.in.size() - kPad;
        switch (decoder->Decode(b.in.data(), size, static_cast<uint64_t>(b.shift), level_)) {
            case Bzip2BlockResult::Broken:
                return false;
            case Bzip2BlockResult::Refused:
                return decoder->EndBit() == b.endBit &&
                       DecodeBlockWithLibbz2(b.in.data(), static_cast<uint64_t>(b.shift), b.endBit,
                                             level_, decoder->Crc(), kMostBlockOutput, b.out);
            case Bzip2BlockResult::Ok:
                // A block that ends before the next magic had that magic in
                // its data; the sequential decoder sorts that out.
                return decoder->EndBit() == b.endBit &&
                       decoder->Expand(b.out, kMostBlockOutput) == Bzip2BlockDecoder::Expanded::Ok;
        }
    } catch (const std::bad_alloc&) {
    } catch (const std::out_of_range&) {
    }
    return false;
}

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
            const uint64_t w = Bzip2Load64(buf_.data() + p);
            for (int s = 0; offsets; ++s, offsets >>= 1) {
                if (!(offsets & 1)) continue;
                const uint64_t bit = (bufStart_ + p) * 8 + s;
                if (bit < from) continue;
                const uint64_t v = (w << s) >> 16;
                if (v == kBzip2BlockMagic || v == kBzip2EndMagic) {
                    end = v == kBzip2EndMagic;
                    scanned_ = bit + 1;
                    return bit;
                }
            }
        }
        scanned_ = (bufStart_ + p) * 8;
        if (readTo_ == size_ || failed_) return kNotFound;
        if (bufStart_ + buf_.size() - from / 8 > kBzip2MostBlockBytes) return kNotFound;
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
    level_ = buf_.size() < 4 + 6 + kPad ? 0 : Bzip2StreamLevel(buf_.data());
    if (level_ == 0) return false;
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
    combined_ = Bzip2CombineCrc(combined_, static_cast<uint32_t>(Bits(block_ + 48, 32)));
    const uint64_t first = block_ / 8, behind = (next + 7) / 8;
    b.shift = static_cast<int>(block_ % 8);
    b.endBit = next - first * 8;
    const size_t bytes = static_cast<size_t>(behind - first);
    const size_t held = static_cast<size_t>(bufStart_ + buf_.size() - first);
    b.in.assign(bytes + kPad, 0);
    std::copy_n(buf_.data() + (first - bufStart_), std::min(bytes + kPad, held), b.in.data());
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

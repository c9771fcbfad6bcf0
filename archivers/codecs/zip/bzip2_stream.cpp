// The sequential bzip2 decoder (Bzip2Stream of zip_methods.h): one block
// after the other through our own block decoder, each block passed on only
// once its CRC matched, the stream CRC checked at the end. Only the first
// stream counts; what follows its end is not read.
#include <cstring>
#include <vector>

#include "archivers/codecs/zip/bzip2_block_decoder.h"
#include "archivers/codecs/zip/bzip2_crc.h"
#include "archivers/codecs/zip/bzip2_libbz2_block.h"
#include "archivers/codecs/zip/zip_methods.h"

namespace kt::zip {
namespace {

constexpr size_t kPullPiece = 256 << 10;
// Blocks that expand to more than this are checked and passed on in pieces
// of this size instead of being held whole.
constexpr size_t kWholeBlock = 4u << 20;
// The format's bound on one block's output (a run of 259 bytes for every 5
// bytes of a 900 000-byte block).
constexpr size_t kMostBlockOutput = 900000 / 5 * 259;

// The pulled bytes from a bit position on, at least one block's worth ahead
// where the stream has that much, with kBzip2ReadPad readable bytes behind.
class PulledBytes {
public:
    explicit PulledBytes(const PullFn& pull) : pull_(pull) {}

    // Makes `ahead` bytes from byte `at` on available, or all there are;
    // false on a read error.
    bool Have(uint64_t at, size_t ahead) {
        const size_t drop = static_cast<size_t>(at - start_);
        if (valid_ - drop >= ahead || ended_) return true;
        std::memmove(buf_.data(), buf_.data() + drop, valid_ - drop);
        valid_ -= drop;
        start_ = at;
        while (valid_ < ahead && !ended_) {
            buf_.resize(std::max(buf_.size(), valid_ + kPullPiece + kBzip2ReadPad));
            const std::ptrdiff_t got = pull_(buf_.data() + valid_, kPullPiece);
            if (got < 0) return false;
            ended_ = got == 0;
            valid_ += static_cast<size_t>(got);
        }
        return true;
    }
    const uint8_t* At(uint64_t at) const { return buf_.data() + (at - start_); }
    size_t Available(uint64_t at) const { return valid_ - static_cast<size_t>(at - start_); }

private:
    const PullFn& pull_;
    std::vector<uint8_t> buf_ = std::vector<uint8_t>(kBzip2ReadPad);
    uint64_t start_ = 0;  // stream offset of buf_[0]
    size_t valid_ = 0;
    bool ended_ = false;
};

// A decoded block's bytes to emit once its CRC matched: whole, or in
// pieces when it is too large to hold.
ZipStatus PassOn(Bzip2BlockDecoder& decoder, std::vector<uint8_t>& out, const EmitFn& emit) {
    switch (decoder.Expand(out, kWholeBlock)) {
        case Bzip2BlockDecoder::Expanded::Broken:
            return ZipStatus::Broken;
        case Bzip2BlockDecoder::Expanded::Ok:
            return out.empty() || emit(out.data(), out.size()) ? ZipStatus::Ok : ZipStatus::Stopped;
        case Bzip2BlockDecoder::Expanded::TooLarge:
            break;
    }
    switch (decoder.ExpandInPieces(kWholeBlock, emit)) {
        case Bzip2BlockDecoder::PieceResult::Ok:
            return ZipStatus::Ok;
        case Bzip2BlockDecoder::PieceResult::Stopped:
            return ZipStatus::Stopped;
        case Bzip2BlockDecoder::PieceResult::Broken:
            break;
    }
    return ZipStatus::Broken;
}

}  // namespace

ZipStatus Bzip2Stream(const PullFn& pull, const EmitFn& emit) {
    PulledBytes in(pull);
    if (!in.Have(0, 4)) return ZipStatus::ReadError;
    const int level = in.Available(0) < 4 ? 0 : Bzip2StreamLevel(in.At(0));
    if (level == 0) return ZipStatus::Broken;
    Bzip2BlockDecoder decoder;
    std::vector<uint8_t> out;
    uint64_t bit = 32;
    uint32_t combined = 0;
    for (;;) {
        if (!in.Have(bit / 8, kBzip2MostBlockBytes)) return ZipStatus::ReadError;
        const uint8_t* p = in.At(bit / 8);
        const size_t size = in.Available(bit / 8);
        const int shift = static_cast<int>(bit % 8);
        // A magic and a CRC: the shortest a block or the stream's end can be.
        if (uint64_t{size} * 8 < static_cast<uint64_t>(shift) + 80) return ZipStatus::Broken;
        const uint64_t magic = Bzip2Bits(p, static_cast<uint64_t>(shift), 48);
        if (magic == kBzip2EndMagic)
            return Bzip2Bits(p, static_cast<uint64_t>(shift) + 48, 32) == combined
                       ? ZipStatus::Ok
                       : ZipStatus::Broken;
        if (magic != kBzip2BlockMagic) return ZipStatus::Broken;
        switch (decoder.Decode(p, size, static_cast<uint64_t>(shift), level)) {
            case Bzip2BlockResult::Broken:
                return ZipStatus::Broken;
            case Bzip2BlockResult::Refused:
                if (!DecodeBlockWithLibbz2(p, static_cast<uint64_t>(shift), decoder.EndBit(), level,
                                           decoder.Crc(), kMostBlockOutput, out))
                    return ZipStatus::Broken;
                if (!out.empty() && !emit(out.data(), out.size())) return ZipStatus::Stopped;
                break;
            case Bzip2BlockResult::Ok:
                if (const ZipStatus st = PassOn(decoder, out, emit); st != ZipStatus::Ok) return st;
                break;
        }
        combined = Bzip2CombineCrc(combined, decoder.Crc());
        bit += decoder.EndBit() - static_cast<uint64_t>(shift);
    }
}

}  // namespace kt::zip

// Our own decoder of one bzip2 block, read straight from its bit offset in
// a buffer: the block header (magic, CRC, randomised flag, origin pointer),
// the used-byte map, the Huffman groups and their MTF-coded selectors, the
// RUNA/RUNB zero runs and MTF, the inverse BWT and the first-stage run
// length undo, then the block CRC check. Nothing of a block is handed out
// unless its CRC matches.
//
// It is built for speed where libbz2 spends its time: Huffman codes are
// looked up in a table per group, the inverse BWT walks the block from both
// ends at once (two independent chains of cache misses instead of one), and
// the CRC runs over the finished output eight bytes at a time.
//
// A randomised block, which no current writer makes, is parsed (so its end
// is known) but Refused: the caller hands it to libbz2. Damaged blocks that
// libbz2 still reads somehow (an over-full Huffman code, rows that do not
// form one cycle) are read the same way, so that their CRC decides.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "archivers/codecs/zip/bzip2_crc.h"

namespace kt::zip {

// The 48-bit marks in front of every block and of the stream's end record,
// at any bit offset.
inline constexpr uint64_t kBzip2BlockMagic = 0x314159265359;
inline constexpr uint64_t kBzip2EndMagic = 0x177245385090;

// The buffer a block is read from must go on this many readable bytes
// beyond `size` (their value does not matter).
inline constexpr size_t kBzip2ReadPad = 8;

// The 64 bits from p on as bzip2 orders them, first byte on top; shifted
// left by a bit offset below 8, they put the field at that offset on top.
inline uint64_t Bzip2Load64(const uint8_t* p) {
    uint64_t v;
    std::memcpy(&v, p, 8);
    if constexpr (std::endian::native == std::endian::little) v = __builtin_bswap64(v);
    return v;
}
// The n bits (1-57) that start `bit` bits into p.
inline uint64_t Bzip2Bits(const uint8_t* p, uint64_t bit, int n) {
    return (Bzip2Load64(p + bit / 8) << (bit % 8)) >> (64 - n);
}

// The block size (1-9, in 100 000 bytes) a stream's 4-byte header names;
// 0 when it is no bzip2 header.
inline int Bzip2StreamLevel(const uint8_t* head) {
    const bool ok = std::memcmp(head, "BZh", 3) == 0 && head[3] >= '1' && head[3] <= '9';
    return ok ? head[3] - '0' : 0;
}

// The packed bits of one block stay far below this (900 000 symbols of at
// most 20 bits each, the tables and the selectors).
inline constexpr size_t kBzip2MostBlockBytes = 3u << 20;

enum class Bzip2BlockResult { Ok, Broken, Refused };

// Keeps its tables (about 10 bytes per byte of block size) from block to
// block; one per thread.
class Bzip2BlockDecoder {
public:
    Bzip2BlockDecoder();
    ~Bzip2BlockDecoder();
    Bzip2BlockDecoder(const Bzip2BlockDecoder&) = delete;
    Bzip2BlockDecoder& operator=(const Bzip2BlockDecoder&) = delete;

    // Reads the block whose 48-bit magic starts `bit` bits into the `size`
    // bytes at `data`, from a stream of block size `level` (1-9), up to its
    // last run-length stage. Bits beyond `size` make it Broken.
    Bzip2BlockResult Decode(const uint8_t* data, size_t size, uint64_t bit, int level);
    // After Ok or Refused: the bit right behind the block and the CRC its
    // header carries.
    uint64_t EndBit() const { return endBit_; }
    uint32_t Crc() const { return crc_; }

    // After Ok, the last stage: the whole block into `out`. Broken when
    // its CRC does not match or a run-length count is missing (`out` must
    // then be dropped), TooLarge when it expands to more than `most` bytes
    // (up to 46 MB are possible).
    enum class Expanded { Ok, Broken, TooLarge };
    Expanded Expand(std::vector<uint8_t>& out, size_t most);
    // After Ok, for blocks too large to hold: checks the block over pieces
    // of at most `piece` bytes first, then hands the same pieces to `emit`.
    // Broken (nothing emitted) as for Expand, Stopped when emit says so.
    enum class PieceResult { Ok, Broken, Stopped };
    template <class Emit>
    PieceResult ExpandInPieces(size_t piece, Emit&& emit);

private:
    // Expands the block's text from position `at` into at most `room`
    // bytes at `o`, whole runs only; returns the count and moves `at` on.
    // Sets `broken` when the text ends in four equal bytes without a count.
    size_t ExpandSome(uint32_t& at, uint8_t* o, size_t room, bool& broken) const;
    void Walk(uint32_t origPtr);
    bool WalkInSegments(uint32_t first);

    struct Tables;
    std::unique_ptr<Tables> t_;
    const uint8_t* text_ = nullptr;  // the block before its run-length stage
    uint32_t textSize_ = 0;
    uint64_t endBit_ = 0;
    uint32_t crc_ = 0;
    std::vector<uint8_t> piece_;
};

template <class Emit>
Bzip2BlockDecoder::PieceResult Bzip2BlockDecoder::ExpandInPieces(size_t piece, Emit&& emit) {
    piece_.resize(piece + 256 + 4);
    uint32_t crc = kBzip2CrcStart;
    bool broken = false;
    for (uint32_t at = 0; at < textSize_ && !broken;) {
        const size_t n = ExpandSome(at, piece_.data(), piece_.size(), broken);
        crc = Bzip2CrcUpdate(crc, piece_.data(), n);
    }
    if (broken || ~crc != crc_) return PieceResult::Broken;
    for (uint32_t at = 0; at < textSize_;) {
        const size_t n = ExpandSome(at, piece_.data(), piece_.size(), broken);
        if (!emit(piece_.data(), n)) return PieceResult::Stopped;
    }
    return PieceResult::Ok;
}

}  // namespace kt::zip

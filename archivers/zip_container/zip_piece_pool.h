// The pieces of one large entry, read and deflated ahead on every core the
// core budget can spare (platform/ordered_pool.h), also in the middle of an
// entry when a neighbouring job ends, and handed back strictly in order. The
// pieces and the stream they join into do not depend on the number of
// threads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/core_budget.h"
#include "platform/ordered_pool.h"
#include "archivers/codecs/zip/zip_chunked_deflate.h"
#include "archivers/zip_container/zip_io.h"
#include "archivers/codecs/zip/zip_status.h"

namespace kt::zip {

// Size of one independently deflated piece.
inline constexpr size_t kPieceSize = 4u << 20;

class PiecePool {
public:
    struct Piece {
        uint8_t* data =
            nullptr;  // the deflated piece (level 0: the raw bytes); may be changed in place
        size_t size = 0;
        size_t rawSize = 0;  // source bytes the piece stands for
        uint32_t crc = 0;    // CRC-32 of those source bytes
    };

    // `level` 0 only reads and checksums; 1-12 deflate (libdeflate levels).
    // `most` bounds the threads, the caller's included.
    PiecePool(const ByteSource& source, int level, size_t most);
    PiecePool(const PiecePool&) = delete;
    PiecePool& operator=(const PiecePool&) = delete;

    // The next piece in source order, valid until the next call; false after
    // the last one or on a failure (then Status() says which).
    bool Next(Piece& piece);
    ZipStatus Status() const { return status_; }
    // Threads that have worked on this entry, the caller's included.
    size_t Threads() const { return pool_.Threads(); }

private:
    struct Work {
        std::vector<uint8_t> in, out;
        bool last = false;
        bool ok = true;
        uint32_t crc = 0;
    };
    bool Fill(Work& w, bool& last);
    void Deflate(Work& w, size_t thread);

    const ByteSource& source_;
    const int level_;
    const uint64_t size_;
    const uint64_t pieces_;
    uint64_t readPieces_ = 0;
    ZipStatus status_ = ZipStatus::Ok;
    std::vector<std::unique_ptr<ChunkedDeflater>> deflaters_;  // one per thread number
    ExtraCores extra_;
    OrderedPool<Work> pool_;  // last: its helpers stop before the rest goes
};

}  // namespace kt::zip

// The pieces of one large entry, read and deflated ahead on every core the
// core budget can spare, and handed back strictly in order.
//
// The calling thread reads the pieces and deflates some of them itself;
// helper threads join only on cores nobody else holds (platform/core_budget.h),
// also in the middle of an entry when a neighbouring job ends. At most one
// piece more than there are threads is held at a time, so memory stays
// bounded by the thread count, not by the entry's size. The pieces and the
// stream they join into do not depend on the number of threads.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/core_budget.h"
#include "zip_chunked_deflate.h"
#include "zip_io.h"
#include "zip_status.h"

namespace kt::zip {

// Size of one independently deflated piece.
inline constexpr size_t kPieceSize = 4u << 20;

class PiecePool {
public:
    struct Piece {
        uint8_t* data = nullptr;  // the deflated piece (level 0: the raw bytes); may be changed in place
        size_t size = 0;
        size_t rawSize = 0;  // source bytes the piece stands for
        uint32_t crc = 0;    // CRC-32 of those source bytes
    };

    // `level` 0 only reads and checksums; 1-12 deflate (libdeflate levels).
    // `most` bounds the threads, the caller's included.
    PiecePool(const ByteSource& source, int level, size_t most);
    ~PiecePool();  // stops and joins the helpers
    PiecePool(const PiecePool&) = delete;
    PiecePool& operator=(const PiecePool&) = delete;

    // The next piece in source order, valid until the next call; false after
    // the last one or on a failure (then Status() says which).
    bool Next(Piece& piece);
    ZipStatus Status() const { return status_; }
    // Threads that have worked on this entry, the caller's included.
    size_t Threads() const { return helpers_.size() + 1; }

private:
    struct Slot;
    // All under the lock; ReadAhead and Work leave it while they read or deflate.
    bool ReadAhead(std::unique_lock<std::mutex>& lock);
    void AddHelperIfUseful();
    bool Claimable() const;
    Slot* Claim();  // the oldest piece nobody works on yet
    void Work(std::unique_lock<std::mutex>& lock, Slot& slot, ChunkedDeflater* deflater);

    void HelperLoop();

    const ByteSource& source_;
    const int level_;
    const size_t threadLimit_;
    const uint64_t size_;
    const uint64_t pieces_;
    uint64_t readPieces_ = 0;
    ZipStatus status_ = ZipStatus::Ok;

    std::mutex mutex_;
    std::condition_variable changed_;
    bool stopping_ = false;
    std::vector<std::unique_ptr<Slot>> slots_;  // every buffer ever made
    std::vector<Slot*> free_;
    std::deque<Slot*> order_;  // pieces read and not yet handed back, oldest first
    Slot* handedOut_ = nullptr;
    std::unique_ptr<ChunkedDeflater> own_;
    ExtraCores extra_;
    std::vector<std::thread> helpers_;
};

}  // namespace kt::zip

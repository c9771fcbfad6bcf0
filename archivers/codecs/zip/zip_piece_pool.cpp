#include "zip_piece_pool.h"

#include <algorithm>
#include <new>
#include <system_error>
#include <utility>

#include "zip_crypto.h"

namespace kt::zip {

struct PiecePool::Slot {
    enum class State { Waiting, Working, Done };
    std::vector<uint8_t> in, out;
    bool last = false;
    State state = State::Waiting;
    bool ok = true;
    uint32_t crc = 0;
};

PiecePool::PiecePool(const ByteSource& source, int level, size_t most)
    : source_(source),
      level_(level),
      threadLimit_(level > 0 ? std::max<size_t>(1, std::min<size_t>(most, CoreCount())) : 1),
      size_(source.Size()),
      // An empty source is still one (empty) piece: a deflate stream needs its final block.
      pieces_(std::max<uint64_t>(1, (size_ + kPieceSize - 1) / kPieceSize)),
      extra_(static_cast<int>(threadLimit_) - 1) {
    if (level_ > 0) own_ = std::make_unique<ChunkedDeflater>(level_);
}

PiecePool::~PiecePool() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    for (std::thread& t : helpers_) t.join();
}

bool PiecePool::Next(Piece& piece) {
    std::unique_lock lock(mutex_);
    if (handedOut_) free_.push_back(std::exchange(handedOut_, nullptr));
    for (;;) {
        if (status_ != ZipStatus::Ok) return false;
        // One piece more than threads while more threads may still join, so
        // that a newcomer finds work at once.
        const size_t depth = Threads() + (Threads() < threadLimit_ ? 1 : 0);
        while (order_.size() < depth && readPieces_ < pieces_) {
            if (!ReadAhead(lock)) return false;
            AddHelperIfUseful();
        }
        if (order_.empty()) return false;
        Slot& head = *order_.front();
        if (head.state == Slot::State::Done) {
            order_.pop_front();
            handedOut_ = &head;
            if (!head.ok) {
                status_ = ZipStatus::WriteError;
                return false;
            }
            std::vector<uint8_t>& body = own_ ? head.out : head.in;
            piece = {body.data(), body.size(), head.in.size(), head.crc};
            return true;
        }
        if (Slot* slot = Claim())
            Work(lock, *slot, own_.get());
        else
            changed_.wait(lock);
    }
}

bool PiecePool::ReadAhead(std::unique_lock<std::mutex>& lock) {
    Slot* slot = nullptr;
    if (free_.empty()) {
        slots_.push_back(std::make_unique<Slot>());
        slot = slots_.back().get();
    } else {
        slot = free_.back();
        free_.pop_back();
    }
    const uint64_t at = readPieces_ * kPieceSize;
    const size_t n = static_cast<size_t>(std::min<uint64_t>(kPieceSize, size_ - at));
    slot->last = ++readPieces_ == pieces_;
    slot->state = Slot::State::Waiting;
    slot->ok = true;
    // Helpers keep deflating earlier pieces meanwhile.
    lock.unlock();
    slot->in.resize(n);
    bool ok = n == 0 || source_.ReadAt(at, slot->in.data(), n);
    lock.lock();
    if (!ok) {
        free_.push_back(slot);
        status_ = ZipStatus::ReadError;
        return false;
    }
    order_.push_back(slot);
    changed_.notify_all();
    return true;
}

void PiecePool::AddHelperIfUseful() {
    if (Threads() >= threadLimit_ || !Claimable()) return;
    if (!extra_.TryAdd()) return;
    try {
        helpers_.emplace_back(&PiecePool::HelperLoop, this);
    } catch (const std::system_error&) {
        // No thread to be had: the work goes on with the threads there are.
    }
}

bool PiecePool::Claimable() const {
    return std::any_of(order_.begin(), order_.end(),
                       [](const Slot* s) { return s->state == Slot::State::Waiting; });
}

PiecePool::Slot* PiecePool::Claim() {
    for (Slot* slot : order_)
        if (slot->state == Slot::State::Waiting) {
            slot->state = Slot::State::Working;
            return slot;
        }
    return nullptr;
}

void PiecePool::Work(std::unique_lock<std::mutex>& lock, Slot& slot, ChunkedDeflater* deflater) {
    lock.unlock();
    try {
        slot.crc = Crc32(0, slot.in.data(), slot.in.size());
        if (deflater) slot.ok = deflater->Compress(slot.in.data(), slot.in.size(), slot.last, slot.out);
    } catch (const std::bad_alloc&) {
        slot.ok = false;
    }
    lock.lock();
    slot.state = Slot::State::Done;
    changed_.notify_all();
}

void PiecePool::HelperLoop() {
    std::unique_ptr<ChunkedDeflater> deflater;
    try {
        deflater = std::make_unique<ChunkedDeflater>(level_);
    } catch (const std::bad_alloc&) {
        return;  // the other threads do the work
    }
    std::unique_lock lock(mutex_);
    while (!stopping_) {
        if (Slot* slot = Claim())
            Work(lock, *slot, deflater.get());
        else
            changed_.wait(lock);
    }
}

}  // namespace kt::zip

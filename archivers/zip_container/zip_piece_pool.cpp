#include "archivers/zip_container/zip_piece_pool.h"

#include <algorithm>
#include <new>

#include "archivers/codecs/zip/zip_crypto.h"

namespace kt::zip {

PiecePool::PiecePool(const ByteSource& source, int level, size_t most)
    : source_(source),
      level_(level),
      size_(source.Size()),
      // An empty source is still one (empty) piece: a deflate stream needs its final block.
      pieces_(std::max<uint64_t>(1, (size_ + kPieceSize - 1) / kPieceSize)),
      deflaters_(std::max<size_t>(1, most)),
      extra_(static_cast<int>(most) - 1),
      pool_(
          level > 0 ? std::max<size_t>(1, most) : 1, [this] { return extra_.TryAdd(); },
          [this](Work& w, bool& last) { return Fill(w, last); },
          [this](Work& w, size_t thread) { Deflate(w, thread); }) {}

bool PiecePool::Fill(Work& w, bool& last) {
    const uint64_t at = readPieces_ * kPieceSize;
    const size_t n = static_cast<size_t>(std::min<uint64_t>(kPieceSize, size_ - at));
    w.last = last = ++readPieces_ == pieces_;
    w.ok = true;
    w.in.resize(n);
    if (n > 0 && !source_.ReadAt(at, w.in.data(), n)) {
        status_ = ZipStatus::ReadError;
        return false;
    }
    return true;
}

void PiecePool::Deflate(Work& w, size_t thread) {
    try {
        w.crc = Crc32(0, w.in.data(), w.in.size());
        if (level_ == 0) return;
        std::unique_ptr<ChunkedDeflater>& deflater = deflaters_[thread];
        if (!deflater) deflater = std::make_unique<ChunkedDeflater>(level_);
        w.ok = deflater->Compress(w.in.data(), w.in.size(), w.last, w.out);
    } catch (const std::bad_alloc&) {
        w.ok = false;
    }
}

bool PiecePool::Next(Piece& piece) {
    if (status_ != ZipStatus::Ok) return false;
    Work* w = pool_.Next();
    if (!w) return false;  // the end, or a read failure Fill noted
    if (!w->ok) {
        status_ = ZipStatus::WriteError;
        return false;
    }
    std::vector<uint8_t>& body = level_ > 0 ? w->out : w->in;
    piece = {body.data(), body.size(), w->in.size(), w->crc};
    return true;
}

}  // namespace kt::zip

#include "lzh_encoder.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "block_writer.h"
#include "crc16.h"
#include "huffman.h"
#include "match_finder.h"
#include "segment_encoder.h"

namespace kt::lzh {
namespace {

constexpr int32_t kChunk = 1 << 20;          // bytes read ahead beyond the window
constexpr std::size_t kBlockTokens = 32768;  // tokens gathered before blocks are written
constexpr int kSplitDepth = 4;
// The best effort gathers more tokens and halves them further: blocks then
// follow the changes of the data (code, tables, strings of a program)
// more closely, for a few hundred more tree pricings per block run.
constexpr std::size_t kBestBlockTokens = 131072;
constexpr int kBestSplitDepth = 8;
constexpr std::size_t kBestMinSplit = 512;
constexpr int32_t kSegment = 1 << 15;  // positions per optimal-parse segment
constexpr int kMaxMatchesPerPos = 16;
// Parses of each segment: the first under the prices of the segment before,
// every further one under the statistics of the one before it.
constexpr int kOptimalPasses = 3;
constexpr int kDenseLengths = 48;
// Bits of the table of 3-byte strings: in a 64 KiB window a table of 14
// bits loses many of the nearest 3-byte matches to strings of the same
// hash, which the best effort's parse would use (0.2% smaller, 1 MB).
constexpr int kHash3Bits = 14;
constexpr int kBestHash3Bits = 18;
constexpr int kLazyShortWalk = 8;             // matches this long shorten the lazy walk
constexpr std::size_t kRefreshTokens = 4096;  // tokens between price updates of the lazy parse

struct Tuning {
    int chain;     // candidates walked per search
    int nice;      // a match this long ends the search
    int good;      // a match this long is taken without looking further
    int lazy;      // how many following positions may offer a better match
    uint32_t far;  // a 3-byte match further than this is not taken
};

// Inputs from this size on (known in advance) walk half as far in the
// normal effort: their time grows with their size, while the matches the
// longer walk adds save only a few tenths of a percent.
constexpr uint64_t kLongInput = 16u << 20;

Tuning TuningFor(Effort e, uint64_t sizeHint) {
    switch (e) {
        case Effort::Fast:
            return {8, 64, 64, 0, UINT32_MAX};
        case Effort::Normal:
            if (sizeHint >= kLongInput) return {32, 256, 32, 2, UINT32_MAX};
            return {64, 256, 32, 2, UINT32_MAX};
        default:
            return {512, 256, 256, 256, UINT32_MAX};
    }
}

// Prices in bits of every literal/length symbol and position slot (the
// position prices include the slot's extra bits).
struct Prices {
    uint32_t c[kNC];
    uint32_t p[kMaxNP];
};

class Encoder {
public:
    // `whole` is the size of the whole input (the tuning follows it) when
    // this encoder writes one segment of it.
    Encoder(const EncodeOptions& o, Source& in, Sink& out, const uint8_t* history = nullptr,
            std::size_t historySize = 0, uint64_t whole = 0)
        : opt_(o),
          in_(in),
          out_(out),
          window_(1 << o.dictBits),
          start_(static_cast<int32_t>(historySize)),
          buf_(BufferSize(o, historySize), 0),
          mf_(o.dictBits, buf_.data(), TableBits(o, historySize),
              o.effort == Effort::Best ? kBestHash3Bits : kHash3Bits),
          bw_(o.np, o.pbit),
          tune_(TuningFor(o.effort, whole ? whole : o.sizeHint)) {
        if (historySize > 0) std::memcpy(buf_.data(), history, historySize);
        end_ = start_;
        // A token covers at least one byte: the tokens and the output of a
        // small input fit at once, rather than being copied as they grow.
        if (o.sizeHint > 0) {
            std::size_t tokens = std::min<uint64_t>(o.sizeHint, kBlockTokens);
            tok_.sym.reserve(tokens);
            tok_.dist.reserve(tokens);
            bits_.Reserve(tokens + 8);
        }
    }

    EncodeResult Run() {
        if (!Fill()) return Done(Status::ReadError);
        // The history is only looked back into (its last positions hash
        // bytes of the input, hence after the first read).
        mf_.InsertRange(0, start_);
        inserted_ = start_;
        Status s = opt_.effort == Effort::Best ? RunOptimal() : RunLazy();
        if (s != Status::Ok) return Done(s);
        if (!EmitTokens(true)) return Done(status_);
        return Done(Status::Ok);
    }

    // Zero bits that end the output after the last block.
    int PadBits() const { return padBits_; }

private:
    EncodeResult Done(Status s) { return {s, inSize_, outSize_, crc_}; }

    // A known small input gets a buffer just large enough (plus one byte so
    // that its end is seen without another read); a history before it
    // counts as input.
    static std::size_t BufferSize(const EncodeOptions& o, std::size_t history) {
        std::size_t full = (std::size_t{1} << o.dictBits) + kChunk;
        std::size_t known = history + static_cast<std::size_t>(o.sizeHint) + 1;
        if (o.sizeHint > 0 && known < full) full = known;
        return full + kMaxMatch + 16;
    }
    static int TableBits(const EncodeOptions& o, std::size_t history) {
        uint64_t span = o.sizeHint + history;
        if (o.sizeHint == 0 || span >= (1u << 16)) return 16;
        int bits = 10;
        while (bits < 16 && (uint64_t{1} << bits) <= span) ++bits;
        return bits;
    }

    // Reads until the buffer is full or the input ends.
    bool Fill() {
        while (!eof_ && end_ < static_cast<int32_t>(buf_.size()) - kMaxMatch - 16) {
            std::size_t room = buf_.size() - kMaxMatch - 16 - static_cast<std::size_t>(end_);
            std::ptrdiff_t got = in_.Read(buf_.data() + end_, room);
            if (got < 0) return false;
            if (got == 0) {
                eof_ = true;
                break;
            }
            crc_ = Crc16Update(crc_, buf_.data() + end_, static_cast<std::size_t>(got));
            inSize_ += static_cast<uint64_t>(got);
            // Tables sized by the hint cannot take more: the input changed.
            if (opt_.sizeHint > 0 && inSize_ > opt_.sizeHint) return false;
            end_ += static_cast<int32_t>(got);
        }
        return true;
    }

    // Keeps at least a full match of look-ahead in the buffer past p, moving
    // the window down when the buffer's end is near. Returns the new p.
    bool Ahead(int32_t* p) {
        if (eof_ || end_ - *p >= kMaxMatch + 1) return true;
        if (*p >= 2 * window_) {
            int32_t shift = (*p - window_) & ~(window_ - 1);
            std::memmove(buf_.data(), buf_.data() + shift, static_cast<std::size_t>(end_ - shift));
            end_ -= shift;
            *p -= shift;
            inserted_ -= shift;
            mf_.Slide(shift);
        }
        return Fill();
    }

    void Literal(uint8_t b) {
        tok_.sym.push_back(b);
        tok_.dist.push_back(0);
    }
    void Match(int len, uint32_t dist) {
        tok_.sym.push_back(static_cast<uint16_t>(len + 253));
        tok_.dist.push_back(dist);
    }

    // Writes gathered tokens as blocks once enough are there (or at the end).
    bool EmitTokens(bool final) {
        const bool best = opt_.effort == Effort::Best;
        if (!final && tok_.Size() < (best ? kBestBlockTokens : kBlockTokens)) return true;
        if (best) {
            bw_.Write(tok_, bits_, kBestSplitDepth, kBestMinSplit, true);
        } else {
            bw_.Write(tok_, bits_, kSplitDepth);
        }
        tok_.Clear();
        if (final) padBits_ = bits_.FlushBits();
        outSize_ += bits_.Size();
        if (bits_.Size() > 0 && !out_.Write(bits_.Data(), bits_.Size())) {
            status_ = Status::WriteError;
            return false;
        }
        bits_.Clear();
        if (outSize_ >= opt_.giveUpAfter) {
            status_ = Status::NotSmaller;
            return false;
        }
        return true;
    }

    // Links every position below p into the chains (each exactly once).
    void InsertUpTo(int32_t p) {
        int32_t last = std::min(p, end_);
        if (inserted_ + 1 == last) {
            // Most searches follow a literal: one position, inline, rather
            // than the call and set-up of a range.
            mf_.Insert(inserted_);
            inserted_ = last;
        } else if (inserted_ < last) {
            mf_.InsertRange(inserted_, last);
            inserted_ = last;
        }
    }

    // The longest match at p longer than minLen, walking `chain` candidates.
    int Search(int32_t p, int minLen, int chain, uint32_t* dist) {
        int maxLen = std::min(kMaxMatch, end_ - p);
        if (maxLen < kMinMatch) return 0;
        if (inserted_ + 1 < p) mf_.Prefetch(p);
        InsertUpTo(p);
        // The next search is most often at p + 1 (the lazy look or after a
        // literal).
        mf_.Prefetch(p + 1);
        int len = mf_.Longest(p, maxLen, minLen, chain, tune_.nice, dist);
        if (len == kMinMatch && *dist >= tune_.far) return 0;
        return len;
    }

    // Bits a match costs under the current prices.
    uint32_t MatchCost(int len, uint32_t dist) const {
        int slot = PositionSlot(dist);
        return lazyPrices_.c[len + 253] + lazyPrices_.p[slot];
    }
    uint32_t LiteralCost(int32_t p, int n) const {
        uint32_t c = 0;
        for (int i = 0; i < n; ++i) c += lazyPrices_.c[buf_[p + i]];
        return c;
    }

    // True when literal p + match (len2, dist2) at p + 1 is cheaper than the
    // match (len, dist) at p; both are carried to the same end with literals.
    bool LaterIsBetter(int32_t p, int len, uint32_t dist, int len2, uint32_t dist2) const {
        int endA = len, endB = 1 + len2;
        int end = std::max(endA, endB);
        uint32_t a = MatchCost(len, dist) + (end - endA) * avgLiteral_;
        uint32_t b = lazyPrices_.c[buf_[p]] + MatchCost(len2, dist2) + (end - endB) * avgLiteral_;
        return b + bias_ < a;
    }

    // Prices from the tokens gathered so far in this block, refreshed now
    // and then, so decisions follow the data's own statistics.
    void RefreshLazyPrices() {
        if (tok_.Size() < nextRefresh_) return;
        nextRefresh_ = tok_.Size() + kRefreshTokens;
        // The latest tokens only: constant work per token, and the prices
        // follow the data where it changes.
        std::size_t from = tok_.Size() - kRefreshTokens;
        PricesFrom(tok_, from, kUnusedLazy, &lazyPrices_);
        uint64_t sum = 0, cnt = 0;
        for (std::size_t i = from; i < tok_.Size(); ++i) {
            bool literal = tok_.sym[i] < 256;
            sum += literal ? lazyPrices_.c[tok_.sym[i]] : 0;
            cnt += literal;
        }
        avgLiteral_ = cnt ? static_cast<uint32_t>(sum / cnt) : 8;
    }

    // Greedy or lazy parse: a match found at p is weighed against the one at
    // p + 1 (up to `lazy` times) by what each costs under current prices.
    Status RunLazy() {
        const int depth = tune_.lazy;
        DefaultPrices(&lazyPrices_);
        int32_t p = start_;
        while (true) {
            if (!Ahead(&p)) return Status::ReadError;
            if (p >= end_) break;
            uint32_t dist = 0;
            int len = Search(p, kMinMatch - 1, tune_.chain, &dist);
            if (len > 0 && len <= 4 && MatchCost(len, dist) >= LiteralCost(p, len)) len = 0;
            if (len == 0) {
                Literal(buf_[p++]);
                if (!EmitTokens(false)) return status_;
                continue;
            }
            for (int d = 1; d <= depth && len < tune_.good; ++d) {
                if (p + 1 >= end_) break;
                uint32_t dist2 = 0;
                // Only a match at least as long can win (a shorter one
                // leaves more literals), and after a fair match a shorter
                // walk finds it often enough.
                int chain2 = len >= kLazyShortWalk ? tune_.chain / 4 : tune_.chain;
                int len2 = Search(p + 1, len - 1, chain2, &dist2);
                if (len2 == 0 || !LaterIsBetter(p, len, dist, len2, dist2)) break;
                Literal(buf_[p++]);
                len = len2;
                dist = dist2;
            }
            Match(len, dist);
            p += len;
            if (tok_.Size() >= nextRefresh_) RefreshLazyPrices();
            if (!EmitTokens(false)) {
                return status_;
            }
            if (tok_.Size() == 0) nextRefresh_ = kRefreshTokens;
        }
        return Status::Ok;
    }

    // Prices in bits of every literal/length symbol and position slot until
    // the data's own are known (the whole of a small file): a literal codes
    // shorter than 8 bits in all but random data, so short matches that
    // would cost more than their bytes are left as literals.
    // The same for every input: made once, copied per input.
    static void DefaultPrices(Prices* pr) {
        static const Prices kDefault = [] {
            Prices d;
            for (int i = 0; i < 256; ++i) d.c[i] = 7;
            for (int i = 256; i < kNC; ++i)
                d.c[i] = 7 + std::min(6, PositionSlot(static_cast<uint32_t>(i - 256)));
            for (int i = 0; i < kMaxNP; ++i) d.p[i] = 4 + (i > 1 ? i - 1 : 0);
            return d;
        }();
        *pr = kDefault;
    }

    // A symbol the tokens did not use gets `unused` bits: dearer than most,
    // as adding it to the block's code lengthens the others.
    static constexpr uint32_t kUnusedLazy = 13;
    // The optimal parse prices it lower: on its next pass a symbol that one
    // pass happened to avoid may still come in where it saves enough.
    static constexpr uint32_t kUnusedOptimal = 10;
    void PricesFrom(const Tokens& t, std::size_t from, uint32_t unused, Prices* pr) const {
        uint32_t fc[kNC] = {}, fp[kMaxNP] = {};
        for (std::size_t i = from; i < t.Size(); ++i) {
            ++fc[t.sym[i]];
            fp[PositionSlot(t.dist[i])] += t.sym[i] >= 256;  // as BlockWriter::Count
        }
        uint8_t lc[kNC], lp[kMaxNP];
        BuildLengths(fc, kNC, kMaxCodeLength, lc);
        BuildLengths(fp, opt_.np, kMaxCodeLength, lp);
        for (int i = 0; i < kNC; ++i) pr->c[i] = lc[i] ? lc[i] : unused;
        for (int i = 0; i < opt_.np; ++i) pr->p[i] = (lp[i] ? lp[i] : 8) + (i > 1 ? i - 1 : 0);
    }

    // Finds the cheapest parse of [start, start + n) under the prices and
    // appends its tokens.
    void Parse(int32_t start, int32_t n, const Prices& pr) {
        cost_.assign(static_cast<std::size_t>(n) + 1, UINT32_MAX);
        fromLen_.assign(static_cast<std::size_t>(n) + 1, 0);
        fromDist_.resize(static_cast<std::size_t>(n) + 1);
        cost_[0] = 0;
        for (int32_t i = 0; i < n; ++i) {
            uint32_t c = cost_[i];
            uint32_t lit = c + pr.c[buf_[start + i]];
            if (lit < cost_[i + 1]) {
                cost_[i + 1] = lit;
                fromLen_[i + 1] = 1;
            }
            int prev = kMinMatch - 1;
            for (uint32_t k = matchStart_[i]; k < matchStart_[i + 1]; ++k) {
                int len = std::min<int>(matchLen_[k], n - i);
                uint32_t d = matchDist_[k];
                uint32_t base = c + pr.p[PositionSlot(d)];
                // Every length up to kDenseLengths, beyond it only the
                // longest: long matches are rarely worth cutting.
                int dense = std::min(len, std::max(prev, kDenseLengths));
                for (int l = prev + 1; l <= len;
                     l = (l < dense ? l + 1 : (l == len ? l + 1 : len))) {
                    uint32_t v = base + pr.c[l + 253];
                    if (v < cost_[i + l]) {
                        cost_[i + l] = v;
                        fromLen_[i + l] = static_cast<uint16_t>(l);
                        fromDist_[i + l] = d;
                    }
                }
                prev = std::max(prev, len);
            }
        }
        // Walk back from the end, then emit forwards.
        path_.clear();
        for (int32_t i = n; i > 0;) {
            path_.push_back(i);
            i -= fromLen_[i];
        }
        int32_t i = 0;
        for (auto it = path_.rbegin(); it != path_.rend(); ++it) {
            int32_t j = *it;
            int len = j - i;
            if (len == 1) {
                Literal(buf_[start + i]);
            } else {
                Match(len, fromDist_[j]);
            }
            i = j;
        }
    }

    Status RunOptimal() {
        const Tuning& t = tune_;
        Prices pr;
        DefaultPrices(&pr);
        int32_t p = start_;
        std::vector<uint16_t> lens(kMaxMatchesPerPos);
        std::vector<uint32_t> dists(kMaxMatchesPerPos);
        while (true) {
            if (!Ahead(&p)) return Status::ReadError;
            if (p >= end_) break;
            // The segment must lie inside the buffer without another slide.
            int32_t n = std::min<int32_t>(kSegment, end_ - p);
            if (!eof_) n = std::min<int32_t>(n, end_ - p - kMaxMatch);
            if (n <= 0) n = std::min<int32_t>(kSegment, end_ - p);
            matchStart_.assign(static_cast<std::size_t>(n) + 1, 0);
            matchLen_.clear();
            matchDist_.clear();
            int32_t skipTo = 0;
            uint16_t longLen = 0;
            uint32_t longDist = 0;
            int32_t longAt = 0;
            for (int32_t i = 0; i < n; ++i) {
                int32_t q = p + i;
                matchStart_[i] = static_cast<uint32_t>(matchLen_.size());
                int maxLen = std::min(kMaxMatch, end_ - q);
                if (maxLen < kMinMatch) continue;
                if (i < skipTo) {
                    // Inside a long match: offer its remainder only.
                    int rest = longLen - (i - longAt);
                    if (rest >= kMinMatch) {
                        matchLen_.push_back(static_cast<uint16_t>(rest));
                        matchDist_.push_back(longDist);
                    }
                    mf_.Insert(q);
                    continue;
                }
                int cnt = mf_.All(q, maxLen, t.chain, t.nice, lens.data(), dists.data(),
                                  kMaxMatchesPerPos);
                mf_.Insert(q);
                for (int k = 0; k < cnt; ++k) {
                    if (lens[k] == kMinMatch && dists[k] >= t.far) continue;
                    matchLen_.push_back(lens[k]);
                    matchDist_.push_back(dists[k]);
                }
                if (cnt > 0 && lens[cnt - 1] >= t.nice) {
                    longLen = lens[cnt - 1];
                    longDist = dists[cnt - 1];
                    longAt = i;
                    skipTo = i + longLen;
                }
            }
            matchStart_[n] = static_cast<uint32_t>(matchLen_.size());
            // Each pass parses under the statistics of the one before; the
            // last one's tokens are kept.
            std::size_t mark = tok_.Size();
            Parse(p, n, pr);
            for (int pass = 1; pass < kOptimalPasses; ++pass) {
                PricesFrom(tok_, mark, kUnusedOptimal, &pr);
                tok_.sym.resize(mark);
                tok_.dist.resize(mark);
                Parse(p, n, pr);
            }
            p += n;
            if (!EmitTokens(false)) return status_;
        }
        return Status::Ok;
    }

    const EncodeOptions& opt_;
    Source& in_;
    Sink& out_;
    int32_t window_;
    int32_t start_;  // the input begins here, after the history
    int padBits_ = 0;
    std::vector<uint8_t> buf_;
    int32_t end_ = 0;
    bool eof_ = false;
    MatchFinder mf_;
    BlockWriter bw_;
    Tuning tune_;
    Tokens tok_;
    BitWriter bits_;
    int32_t inserted_ = 0;  // positions below this are in the chains
    Prices lazyPrices_;
    uint32_t avgLiteral_ = 8;
    std::size_t nextRefresh_ = kRefreshTokens;
    uint32_t bias_ = 1;  // bits a later match must save to be preferred
    Status status_ = Status::Ok;
    uint64_t inSize_ = 0, outSize_ = 0;
    uint16_t crc_ = 0;
    // Optimal-parse work areas.
    std::vector<uint32_t> matchStart_;
    std::vector<uint16_t> matchLen_;
    std::vector<uint32_t> matchDist_;
    std::vector<uint32_t> cost_;
    std::vector<uint16_t> fromLen_;
    std::vector<uint32_t> fromDist_;
    std::vector<int32_t> path_;
};

}  // namespace

bool OptionsForMethod(const char* id, EncodeOptions* o) {
    if (std::strcmp(id, "-lh5-") == 0) {
        o->dictBits = 13, o->np = 14, o->pbit = 4;
    } else if (std::strcmp(id, "-lh6-") == 0) {
        o->dictBits = 15, o->np = 16, o->pbit = 5;
    } else if (std::strcmp(id, "-lh7-") == 0) {
        o->dictBits = 16, o->np = 17, o->pbit = 5;
    } else {
        return false;
    }
    return true;
}

EncodeResult Encode(const EncodeOptions& options, Source& in, Sink& out) {
    if (options.threads > 1 && options.sizeHint >= 2 * kSegmentBytes) {
        return EncodeInSegments(options, in, out);
    }
    auto enc = std::make_unique<Encoder>(options, in, out);
    return enc->Run();
}

Status EncodeSegment(const EncodeOptions& options, const uint8_t* history, std::size_t historySize,
                     const uint8_t* data, std::size_t size, std::vector<uint8_t>* out,
                     uint64_t* bitCount) {
    EncodeOptions o = options;
    o.sizeHint = size;
    o.giveUpAfter = UINT64_MAX;
    const std::size_t window = std::size_t{1} << o.dictBits;
    if (historySize > window) {
        history += historySize - window;
        historySize = window;
    }
    MemorySource in(data, size);
    VectorSink sink;
    sink.bytes.swap(*out);
    sink.bytes.clear();
    auto enc = std::make_unique<Encoder>(o, in, sink, history, historySize, options.sizeHint);
    EncodeResult r = enc->Run();
    sink.bytes.swap(*out);
    *bitCount = r.outSize * 8 - static_cast<uint64_t>(enc->PadBits());
    return r.status;
}

}  // namespace kt::lzh

// Reshaping the blocks that halving found: blocks cut in two at other
// points than the middle, neighbours merged, borders moved, each kept only
// where the trees and codes of the blocks it touches get smaller.
#include "block_writer.h"

namespace kt::lzh {
namespace {

// Cuts, merges and moves, each round on what the one before left.
constexpr int kRefineRounds = 3;
// The points a block is tried cut at: every eighth of it.
constexpr int kCutPoints = 8;
constexpr std::size_t kMinCut = 1024;  // blocks shorter are not cut
// A border moves by this many tokens, halved down to kFinestMove.
constexpr std::size_t kFinestMove = 64;
constexpr std::size_t kWidestMove = 8 * kFinestMove;

}  // namespace

void BlockWriter::Freqs::Add(const Freqs& f, int np) {
    for (int i = 0; i < kNC; ++i) c[i] += f.c[i];
    for (int i = 0; i < np; ++i) p[i] += f.p[i];
}

void BlockWriter::Freqs::Subtract(const Freqs& f, int np) {
    for (int i = 0; i < kNC; ++i) c[i] -= f.c[i];
    for (int i = 0; i < np; ++i) p[i] -= f.p[i];
}

void BlockWriter::Refine(const Tokens& t) {
    for (int round = 0; round < kRefineRounds; ++round) {
        if (round > 0) CutInTwo(t);
        MergeNeighbours();
        MoveBorders(t);
    }
}

void BlockWriter::CutInTwo(const Tokens& t) {
    std::vector<Block> next;
    next.reserve(blocks_.size() * 2);
    for (const Block& b : blocks_) {
        const std::size_t n = b.b - b.a;
        uint64_t best = b.cost;
        Block left{}, right{};
        if (n >= kMinCut) {
            Freqs head;  // the tokens [b.a, at)
            std::size_t at = b.a;
            for (int k = 1; k < kCutPoints; ++k) {
                std::size_t cut = b.a + n * static_cast<std::size_t>(k) / kCutPoints;
                Count(t, at, cut, &head);
                at = cut;
                Freqs tail = b.freqs;
                tail.Subtract(head, np_);
                uint64_t costHead = Cost(head), costTail = Cost(tail);
                if (costHead + costTail < best) {
                    best = costHead + costTail;
                    left = Block{b.a, cut, head, costHead};
                    right = Block{cut, b.b, tail, costTail};
                }
            }
        }
        if (best < b.cost) {
            next.push_back(left);
            next.push_back(right);
        } else {
            next.push_back(b);
        }
    }
    blocks_.swap(next);
}

void BlockWriter::MergeNeighbours() {
    for (bool merged = true; merged;) {
        merged = false;
        for (std::size_t i = 0; i + 1 < blocks_.size(); ++i) {
            Block& l = blocks_[i];
            const Block& r = blocks_[i + 1];
            if (r.b - l.a > kMaxBlockTokens) continue;
            Freqs both = l.freqs;
            both.Add(r.freqs, np_);
            uint64_t cost = Cost(both);
            if (cost < l.cost + r.cost) {
                l.b = r.b;
                l.freqs = both;
                l.cost = cost;
                blocks_.erase(blocks_.begin() + static_cast<std::ptrdiff_t>(i) + 1);
                merged = true;
            }
        }
    }
}

void BlockWriter::MoveBorders(const Tokens& t) {
    for (std::size_t i = 0; i + 1 < blocks_.size(); ++i) {
        Block& l = blocks_[i];
        Block& r = blocks_[i + 1];
        for (std::size_t step = kWidestMove; step >= kFinestMove; step /= 2) {
            for (bool moved = true; moved;) {
                moved = false;
                for (bool back : {true, false}) {
                    // Each block keeps a token and stays within a block's
                    // limit.
                    if (back ? l.b - l.a <= step || r.b - l.b + step > kMaxBlockTokens
                             : r.b - r.a <= step || l.b + step - l.a > kMaxBlockTokens) {
                        continue;
                    }
                    const std::size_t from = back ? l.b - step : l.b;
                    Freqs shifted;
                    Count(t, from, from + step, &shifted);
                    Freqs left = l.freqs, right = r.freqs;
                    if (back) {
                        left.Subtract(shifted, np_);
                        right.Add(shifted, np_);
                    } else {
                        left.Add(shifted, np_);
                        right.Subtract(shifted, np_);
                    }
                    uint64_t costLeft = Cost(left), costRight = Cost(right);
                    if (costLeft + costRight < l.cost + r.cost) {
                        l.b = r.a = back ? from : from + step;
                        l.freqs = left;
                        r.freqs = right;
                        l.cost = costLeft;
                        r.cost = costRight;
                        moved = true;
                        break;
                    }
                }
            }
        }
    }
}

}  // namespace kt::lzh

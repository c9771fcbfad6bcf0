// The adaptive Huffman code of -lh1- and -lh2-: a tree whose shape follows
// the symbol counts seen so far, so encoder and decoder must update it in
// exactly the same order. Nodes sit in one list ordered by count, the root
// first; the two children of a node are neighbours in the list (the one
// nearer the end is reached by a 0 bit). Counting a symbol walks from its
// leaf to the root; each node on the way first trades places with the
// foremost node of equal count, then counts one up.
#pragma once

#include <cstdint>
#include <vector>

namespace kt::lzh {

class AdaptiveHuffman {
public:
    // A tree of `symbols` leaves of count 1 (the character tree of -lh1-
    // and -lh2-).
    static AdaptiveHuffman Full(int symbols);
    // How the one leaf of a growing tree is counted before the tree grows.
    enum class FirstLeaf {
        StaysOne,    // LHA's own decoders: the count stays 1
        KeepsCount,  // jLHA: every symbol before the growth is counted
    };
    // A tree of the one leaf 0 that grows a leaf at a time (the position
    // tree of -lh2-); room for `maxSymbols` leaves.
    static AdaptiveHuffman Growing(int maxSymbols, FirstLeaf first);

    // Decodes one symbol, reading bits with getBit() (each call one bit),
    // and counts it.
    template <class GetBit>
    int Decode(GetBit&& getBit) {
        int c = child_[0];
        while (c >= 0) c = child_[c - getBit()];
        int sym = ~c;
        Count(sym);
        return sym;
    }

    // Adds the leaf `symbol` by splitting the last node, then counts it.
    void AddLeaf(int symbol);
    int Leaves() const { return (size_ + 1) / 2; }

private:
    // Counting stops being exact at this total; the counts are halved.
    static constexpr uint32_t kRebuildAt = 0x8000;
    // The count the growing tree's root keeps so that it never trades places.
    static constexpr uint32_t kPinnedRoot = 0xFFFF;

    void Count(int symbol);
    int CountUp(int pos);  // one node; returns its parent
    void Rebuild();
    void Link(int pos);  // parent / leaf links of the node at pos

    bool growing_ = false;
    FirstLeaf first_ = FirstLeaf::StaysOne;
    int size_ = 0;
    uint32_t total_ = 0;  // symbols counted by the growing tree
    std::vector<uint32_t> freq_;
    std::vector<int>
        child_;  // >= 0: position of the 0-child (the 1-child is one before); < 0: ~symbol
    std::vector<int> parent_;
    std::vector<int> leaf_;  // position of each symbol's leaf
};

}  // namespace kt::lzh

#include "adaptive_huffman.h"

namespace kt::lzh {

AdaptiveHuffman AdaptiveHuffman::Full(int symbols) {
    AdaptiveHuffman t;
    const int nodes = 2 * symbols - 1;
    t.size_ = nodes;
    t.freq_.assign(static_cast<std::size_t>(nodes), 0);
    t.child_.assign(static_cast<std::size_t>(nodes), 0);
    t.parent_.assign(static_cast<std::size_t>(nodes), -1);
    t.leaf_.assign(static_cast<std::size_t>(symbols), 0);
    // Leaves at the end, symbol 0 last; every inner node joins the next two
    // nodes from the end.
    for (int s = 0; s < symbols; ++s) {
        int pos = nodes - 1 - s;
        t.freq_[pos] = 1;
        t.child_[pos] = ~s;
        t.leaf_[s] = pos;
    }
    for (int pos = symbols - 2, kid = nodes - 1; pos >= 0; --pos, kid -= 2) {
        t.freq_[pos] = t.freq_[kid] + t.freq_[kid - 1];
        t.child_[pos] = kid;
        t.parent_[kid] = t.parent_[kid - 1] = pos;
    }
    return t;
}

AdaptiveHuffman AdaptiveHuffman::Growing(int maxSymbols, FirstLeaf first) {
    AdaptiveHuffman t;
    t.growing_ = true;
    t.first_ = first;
    t.size_ = 1;
    const std::size_t room = 2 * static_cast<std::size_t>(maxSymbols);
    t.freq_.assign(room, 0);
    t.child_.assign(room, 0);
    t.parent_.assign(room, -1);
    t.leaf_.assign(static_cast<std::size_t>(maxSymbols), 0);
    t.freq_[0] = 1;
    t.child_[0] = ~0;
    return t;
}

void AdaptiveHuffman::Link(int pos) {
    int c = child_[pos];
    if (c >= 0) {
        parent_[c] = parent_[c - 1] = pos;
    } else {
        leaf_[~c] = pos;
    }
}

int AdaptiveHuffman::CountUp(int pos) {
    int lead = pos;
    while (lead > 1 && freq_[lead - 1] == freq_[pos]) --lead;
    if (lead != pos) {
        std::swap(child_[pos], child_[lead]);
        Link(pos);
        Link(lead);
    }
    ++freq_[lead];
    return parent_[lead];
}

void AdaptiveHuffman::Count(int symbol) {
    if (!growing_) {
        if (freq_[0] == kRebuildAt) Rebuild();
        ++freq_[0];
        int pos = leaf_[symbol];
        do pos = CountUp(pos);
        while (pos != 0);
        return;
    }
    if (total_ == kRebuildAt) {
        Rebuild();
        total_ = freq_[0];
        freq_[0] = kPinnedRoot;
    }
    if (size_ == 1 && first_ == FirstLeaf::KeepsCount) ++freq_[0];
    for (int pos = leaf_[symbol]; pos != 0;) pos = CountUp(pos);
    ++total_;
}

void AdaptiveHuffman::AddLeaf(int symbol) {
    // The last node is a leaf of the smallest count: it becomes an inner
    // node over itself and the new leaf (count 0, the 0-child).
    const int last = size_ - 1, moved = size_, added = size_ + 1;
    child_[moved] = child_[last];
    freq_[moved] = freq_[last];
    Link(moved);
    child_[added] = ~symbol;
    freq_[added] = 0;
    Link(added);
    child_[last] = added;
    Link(last);
    if (last == 0) freq_[0] = kPinnedRoot;
    size_ += 2;
    Count(symbol);
}

void AdaptiveHuffman::Rebuild() {
    struct Leaf {
        uint32_t freq;
        int child;
    };
    std::vector<Leaf> leaves;
    for (int i = 0; i < size_; ++i) {
        if (child_[i] < 0) leaves.push_back({(freq_[i] + 1) / 2, child_[i]});
    }
    if (size_ == 1) {
        freq_[0] = leaves[0].freq;
        return;
    }
    // Refill from the end: the two nodes at the end get a parent, placed
    // before every remaining leaf whose halved count does not exceed the
    // parent's, and so on up to the root.
    int at = size_ - 1, next = static_cast<int>(leaves.size()) - 1, pair = size_ - 2;
    auto place = [&](const Leaf& l) {
        freq_[at] = l.freq;
        child_[at--] = l.child;
        --next;
    };
    while (at >= 0) {
        while (at >= pair) place(leaves[next]);
        uint32_t f = freq_[pair] + freq_[pair + 1];
        while (next >= 0 && leaves[next].freq <= f) place(leaves[next]);
        freq_[at] = f;
        child_[at--] = pair + 1;
        pair -= 2;
    }
    for (int i = 0; i < size_; ++i) Link(i);
}

}  // namespace kt::lzh

// The LZH methods this codec knows and the parameters of the -lh4- .. -lhx-
// family, which share one stream format.
#pragma once

#include <optional>
#include <string_view>

namespace kt::lzh {

enum class MethodKind {
    Stored,     // -lh0-, -lz4-
    Directory,  // -lhd-
    Static,     // -lh4- -lh5- -lh6- -lh7- -lhx-: static Huffman blocks
    Lh1,        // -lh1-: adaptive Huffman characters, 4 KiB window
    Lh2,        // -lh2-: adaptive Huffman characters and positions, 8 KiB
    Lh3,        // -lh3-: static Huffman blocks of 4-bit lengths, 8 KiB
    Lzs,        // -lzs-: LArc, 2 KiB window
    Lz5,        // -lz5-: LArc, 4 KiB window
};

struct Method {
    char id[6] = {};  // "-lh7-"
    MethodKind kind = MethodKind::Stored;
    int dictBits = 0;  // window = 1 << dictBits
    int np = 0;        // position alphabet size
    int pbit = 0;      // bits of the position tree's count
};

// The method of a 5-byte id, nullopt when unknown ("-pm0-", ...).
std::optional<Method> FindMethod(std::string_view id);

}  // namespace kt::lzh

// The LZH methods this codec knows and the parameters of the -lh4- .. -lhx-
// family, which share one stream format.
#pragma once

#include <optional>
#include <string_view>

namespace kt::lzh {

enum class MethodKind {
    kStored,     // -lh0-, -lz4-
    kDirectory,  // -lhd-
    kStatic,     // -lh4- -lh5- -lh6- -lh7- -lhx-: static Huffman blocks
    kLh1,        // -lh1-: adaptive Huffman characters, 4 KiB window
    kLh2,        // -lh2-: adaptive Huffman characters and positions, 8 KiB
    kLh3,        // -lh3-: static Huffman blocks of 4-bit lengths, 8 KiB
    kLzs,        // -lzs-: LArc, 2 KiB window
    kLz5,        // -lz5-: LArc, 4 KiB window
};

struct Method {
    char id[6] = {};  // "-lh7-"
    MethodKind kind = MethodKind::kStored;
    int dictBits = 0;  // window = 1 << dictBits
    int np = 0;        // position alphabet size
    int pbit = 0;      // bits of the position tree's count
};

// The method of a 5-byte id, nullopt when unknown ("-pm0-", ...).
std::optional<Method> FindMethod(std::string_view id);

}  // namespace kt::lzh

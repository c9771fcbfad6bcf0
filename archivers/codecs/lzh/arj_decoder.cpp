#include "arj_decoder.h"

#include <algorithm>

#include "bit_reader.h"
#include "output_window.h"

namespace kt::lzh {
namespace {

constexpr int kArjNp = 17, kArjPbit = 5;
constexpr std::size_t kMethod4Window = 32768;  // its largest distance is 15 872

// A unary prefix of up to `most` one bits (the zero that ends a shorter
// one is consumed); the number of ones.
int Ones(BitReader& in, int most) {
    int n = 0;
    while (n < most && in.Get(1)) ++n;
    return n;
}

DecodeResult DecodeMethod4(Source& packed, Sink& out, uint64_t size) {
    BitReader in(packed);
    OutputWindow win(kMethod4Window, out);
    auto fail = [&](Status s) { return DecodeResult{s, win.Crc(), win.Written()}; };
    uint64_t left = size;
    while (left > 0) {
        if (!win.Ensure()) return fail(Status::WriteError);
        int n = Ones(in, 7);
        uint32_t value = (1u << n) - 1 + in.Get(n);
        if (value == 0) {
            win.Put(static_cast<uint8_t>(in.Get(8)));
            --left;
        } else {
            int m = Ones(in, 4);
            std::size_t pos = (std::size_t{1} << (9 + m)) - (std::size_t{1} << 9) + in.Get(9 + m);
            uint64_t len = std::min<uint64_t>(value + 2, left);
            win.Copy(pos + 1, static_cast<std::size_t>(len));
            left -= len;
        }
        if (in.Overrun()) return fail(Status::UnexpectedEnd);
    }
    if (in.Failed()) return fail(Status::ReadError);
    if (!win.Flush()) return fail(Status::WriteError);
    return {Status::Ok, win.Crc(), win.Written()};
}

}  // namespace

DecodeResult DecodeArj(int method, Source& packed, Sink& out, uint64_t originalSize) {
    switch (method) {
        case 0: {
            Method stored;
            stored.kind = MethodKind::Stored;
            return DecodeMember(stored, packed, out, originalSize);
        }
        case 1:
        case 2:
        case 3:
            return DecodeStatic(kArjNp - 1, kArjNp, kArjPbit, packed, out, originalSize);
        case 4:
            return DecodeMethod4(packed, out, originalSize);
        default:
            return {Status::Unsupported, 0, 0};
    }
}

}  // namespace kt::lzh

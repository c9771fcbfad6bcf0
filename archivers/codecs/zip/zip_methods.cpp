#include "archivers/codecs/zip/zip_methods.h"

#include <lzma.h>
#include <zlib.h>
#include <zstd.h>
#include <zstd_errors.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace kt::zip {
namespace {

constexpr size_t kPiece = 256 << 10;
// xz streams that ask for more memory than this are refused, not attempted.
constexpr uint64_t kXzMemoryLimit = uint64_t{1} << 30;

// Pulls the next piece of packed data; the count, 0 at the end, -1 on error.
struct Input {
    const PullFn& pull;
    std::vector<uint8_t> buf = std::vector<uint8_t>(kPiece);
    size_t avail = 0;
    bool end = false, failed = false;
    const uint8_t* Next() {
        std::ptrdiff_t got = pull(buf.data(), buf.size());
        failed = got < 0;
        end = got <= 0;
        avail = got > 0 ? static_cast<size_t>(got) : 0;
        return buf.data();
    }
};

ZipStatus Stored(const PullFn& pull, const EmitFn& emit) {
    std::vector<uint8_t> buf(kPiece);
    for (;;) {
        std::ptrdiff_t got = pull(buf.data(), buf.size());
        if (got < 0) return ZipStatus::ReadError;
        if (got == 0) return ZipStatus::Ok;
        if (!emit(buf.data(), static_cast<size_t>(got))) return ZipStatus::Stopped;
    }
}

ZipStatus Zlib(const PullFn& pull, const EmitFn& emit) {
    z_stream z{};
    if (inflateInit2(&z, -MAX_WBITS) != Z_OK) return ZipStatus::Broken;
    std::unique_ptr<z_stream, int (*)(z_stream*)> guard(&z, inflateEnd);
    Input in{pull};
    std::vector<uint8_t> out(kPiece);
    bool full = false;  // output may be pending inside zlib
    for (;;) {
        if (z.avail_in == 0 && !full) {
            z.next_in = const_cast<Bytef*>(in.Next());
            z.avail_in = static_cast<uInt>(in.avail);
            if (in.failed) return ZipStatus::ReadError;
            if (in.end) return ZipStatus::Broken;  // the stream has no end yet
        }
        z.next_out = out.data();
        z.avail_out = static_cast<uInt>(out.size());
        int r = inflate(&z, Z_NO_FLUSH);
        if (r != Z_OK && r != Z_STREAM_END && r != Z_BUF_ERROR) return ZipStatus::Broken;
        size_t got = out.size() - z.avail_out;
        full = z.avail_out == 0;
        if (got && !emit(out.data(), got)) return ZipStatus::Stopped;
        if (r == Z_STREAM_END) return ZipStatus::Ok;
    }
}

// Runs an initialised liblzma decoder to its stream end.
ZipStatus RunLzma(lzma_stream& z, Input& in, const EmitFn& emit) {
    std::unique_ptr<lzma_stream, void (*)(lzma_stream*)> guard(&z, lzma_end);
    std::vector<uint8_t> out(kPiece);
    for (;;) {
        lzma_action action = LZMA_RUN;
        if (z.avail_in == 0 && !in.end) {
            z.next_in = in.Next();
            z.avail_in = in.avail;
            if (in.failed) return ZipStatus::ReadError;
        }
        if (z.avail_in == 0 && in.end) action = LZMA_FINISH;
        z.next_out = out.data();
        z.avail_out = out.size();
        lzma_ret r = lzma_code(&z, action);
        size_t got = out.size() - z.avail_out;
        if (got && !emit(out.data(), got)) return ZipStatus::Stopped;
        if (r == LZMA_STREAM_END) return ZipStatus::Ok;
        if (r == LZMA_MEMLIMIT_ERROR || r == LZMA_MEM_ERROR) return ZipStatus::Unsupported;
        if (r != LZMA_OK) return ZipStatus::Broken;
    }
}

// ZIP's LZMA: version (2), properties size (2, = 5), the five LZMA
// properties, then raw LZMA data, with an end marker when flag bit 1 says so.
ZipStatus Lzma(uint16_t flags, uint64_t size, const PullFn& pull, const EmitFn& emit) {
    uint8_t head[9];
    for (size_t have = 0; have < sizeof head;) {
        std::ptrdiff_t got = pull(head + have, sizeof head - have);
        if (got < 0) return ZipStatus::ReadError;
        if (got == 0) return ZipStatus::Broken;
        have += static_cast<size_t>(got);
    }
    if (Get16(head + 2) != 5) return ZipStatus::Broken;
    lzma_filter filters[2] = {{LZMA_FILTER_LZMA1EXT, nullptr}, {LZMA_VLI_UNKNOWN, nullptr}};
    if (lzma_properties_decode(&filters[0], nullptr, head + 4, 5) != LZMA_OK)
        return ZipStatus::Broken;
    auto* opt = static_cast<lzma_options_lzma*>(filters[0].options);
    std::unique_ptr<void, void (*)(void*)> optGuard(opt, free);
    // No match reaches further back than the data is long: a huge announced
    // dictionary need not be allocated for a small entry.
    opt->dict_size = static_cast<uint32_t>(
        std::min<uint64_t>(opt->dict_size, std::max<uint64_t>(size, LZMA_DICT_SIZE_MIN)));
    opt->ext_flags = LZMA_LZMA1EXT_ALLOW_EOPM;
    uint64_t known = (flags & 0x0002) ? UINT64_MAX : size;
    opt->ext_size_low = static_cast<uint32_t>(known);
    opt->ext_size_high = static_cast<uint32_t>(known >> 32);
    lzma_stream z = LZMA_STREAM_INIT;
    if (lzma_raw_decoder(&z, filters) != LZMA_OK) return ZipStatus::Broken;
    Input in{pull};
    return RunLzma(z, in, emit);
}

ZipStatus Xz(const PullFn& pull, const EmitFn& emit) {
    lzma_stream z = LZMA_STREAM_INIT;
    if (lzma_stream_decoder(&z, kXzMemoryLimit, 0) != LZMA_OK) return ZipStatus::Broken;
    Input in{pull};
    return RunLzma(z, in, emit);
}

ZipStatus Zstd(const PullFn& pull, const EmitFn& emit) {
    std::unique_ptr<ZSTD_DCtx, size_t (*)(ZSTD_DCtx*)> z(ZSTD_createDCtx(), ZSTD_freeDCtx);
    if (!z) return ZipStatus::Broken;
    Input in{pull};
    std::vector<uint8_t> out(kPiece);
    ZSTD_inBuffer src{nullptr, 0, 0};
    size_t pending = 1;  // 0 once every frame so far is complete and flushed
    bool full = false;   // the decoder may hold more output
    for (;;) {
        if (src.pos == src.size && !full) {
            src.src = in.Next();
            src.size = in.avail;
            src.pos = 0;
            if (in.failed) return ZipStatus::ReadError;
            if (in.end) return pending == 0 ? ZipStatus::Ok : ZipStatus::Broken;
        }
        ZSTD_outBuffer dst{out.data(), out.size(), 0};
        const size_t before = src.pos;
        size_t r = ZSTD_decompressStream(z.get(), &dst, &src);
        if (ZSTD_isError(r)) {
            return ZSTD_getErrorCode(r) == ZSTD_error_frameParameter_windowTooLarge
                       ? ZipStatus::Unsupported
                       : ZipStatus::Broken;
        }
        // A call that neither read nor wrote (the one made in case a full
        // buffer left output behind) answers with the size of the next
        // frame's header even when the last frame is complete: it says
        // nothing of that frame.
        if (dst.pos > 0 || src.pos != before) pending = r;
        full = dst.pos == dst.size;
        if (dst.pos && !emit(out.data(), dst.pos)) return ZipStatus::Stopped;
    }
}

}  // namespace

bool MethodSupported(uint16_t method) {
    switch (method) {
        case kMethodStored:
        case kMethodDeflate:
        case kMethodDeflate64:
        case kMethodBzip2:
        case kMethodLzma:
        case kMethodZstd:
        case kMethodXz:
            return true;
        default:
            return false;
    }
}

std::string MethodName(uint16_t method) {
    switch (method) {
        case kMethodStored:
            return "Stored";
        case kMethodDeflate:
            return "Deflate";
        case kMethodDeflate64:
            return "Deflate64";
        case kMethodBzip2:
            return "BZip2";
        case kMethodLzma:
            return "LZMA";
        case kMethodZstd:
            return "Zstd";
        case kMethodXz:
            return "XZ";
        case 6:
            return "Implode";
        case 19:
            return "LZ77";
        case 96:
            return "JPEG";
        case 97:
            return "WavPack";
        case 98:
            return "PPMd";
        case kMethodAes:
            return "AES";
        default:
            return "method " + std::to_string(method);
    }
}

ZipStatus DecodeMethod(uint16_t method, uint16_t flags, uint64_t size, const PullFn& pull,
                       const EmitFn& emit) {
    switch (method) {
        case kMethodStored:
            return Stored(pull, emit);
        case kMethodDeflate:
            return Zlib(pull, emit);
        case kMethodDeflate64:
            return Inflate(DeflateVariant::Deflate64, pull, emit);
        case kMethodBzip2:
            return Bzip2Stream(pull, emit);
        case kMethodLzma:
            return Lzma(flags, size, pull, emit);
        case kMethodZstd:
            return Zstd(pull, emit);
        case kMethodXz:
            return Xz(pull, emit);
        default:
            return ZipStatus::Unsupported;
    }
}

}  // namespace kt::zip

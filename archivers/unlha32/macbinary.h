// MacLHA's "Mac" archives store each file as MacBinary: a 128-byte header
// (name, type, creator, fork lengths, dates), the data fork, the resource
// fork. Readers on other systems hand out only the file's contents: the
// data fork, or the resource fork when that is all the file has. MacBinary
// has no magic number, so the header is believed only when every field
// that MacLHA leaves zero is zero and its name, lengths and time agree with
// the member's own header. The member CRC still covers the whole stream.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "archivers/codecs/lzh/stream.h"
#include "lzh_header.h"

namespace kt::unlha {

constexpr std::size_t kMacBinaryHeaderSize = 128;

// The bytes [offset, offset + size) of the stream that make the file.
struct ForkRange {
    uint64_t offset = 0;
    uint64_t size = 0;
};

// The fork to keep when header (128 bytes) is MacLHA's wrapping of member h.
std::optional<ForkRange> MacBinaryFork(const uint8_t* header, const MemberHeader& h);

// Passes a member's decoded stream on, stripped to its fork when it is a
// wrapped MacLHA member (OS id "m"), unchanged otherwise.
class MacBinaryStripSink : public kt::lzh::Sink {
public:
    MacBinaryStripSink(const MemberHeader& h, kt::lzh::Sink& next);
    bool Write(const uint8_t* data, std::size_t n) override;
    // Hands on what is still held (a stream shorter than a MacBinary header).
    bool Finish();

private:
    bool Forward(const uint8_t* data, std::size_t n);

    const MemberHeader& h_;
    kt::lzh::Sink& next_;
    bool deciding_;
    std::vector<uint8_t> head_;
    ForkRange keep_;
    uint64_t pos_ = 0;  // stream offset of the next byte to forward
};

}  // namespace kt::unlha

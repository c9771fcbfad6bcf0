#include "cp932.h"

#include <iconv.h>

#include <cerrno>

namespace kt {
namespace {

// Length of the UTF-8 sequence starting with c, 0 when c cannot start one.
std::size_t Utf8SequenceLength(unsigned char c) {
    if (c < 0x80) return 1;
    if (c >= 0xC2 && c <= 0xDF) return 2;
    if (c >= 0xE0 && c <= 0xEF) return 3;
    if (c >= 0xF0 && c <= 0xF4) return 4;
    return 0;
}

class Converter {
public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~Converter() {
        if (cd_ != reinterpret_cast<iconv_t>(-1)) iconv_close(cd_);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    // Converts one whole unit; false when iconv cannot.
    bool Convert(std::string_view in, std::string& out) {
        if (cd_ == reinterpret_cast<iconv_t>(-1)) return false;
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        char buffer[16];
        char* src = const_cast<char*>(in.data());
        std::size_t srcLeft = in.size();
        char* dst = buffer;
        std::size_t dstLeft = sizeof buffer;
        if (iconv(cd_, &src, &srcLeft, &dst, &dstLeft) == static_cast<std::size_t>(-1))
            return false;
        if (srcLeft != 0) return false;
        out.append(buffer, dst);
        return true;
    }

private:
    iconv_t cd_;
};

template <typename OnUnmapped>
std::string ToCp932(std::string_view utf8, OnUnmapped onUnmapped) {
    thread_local Converter conv("CP932", "UTF-8");
    std::string out;
    out.reserve(utf8.size());
    std::size_t i = 0;
    while (i < utf8.size()) {
        unsigned char c = static_cast<unsigned char>(utf8[i]);
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
            ++i;
            continue;
        }
        std::size_t n = Utf8SequenceLength(c);
        if (n == 0 || i + n > utf8.size()) {
            out.push_back(static_cast<char>(c));
            ++i;
            continue;
        }
        std::string_view unit = utf8.substr(i, n);
        if (!conv.Convert(unit, out)) onUnmapped(unit, out);
        i += n;
    }
    return out;
}

}  // namespace

std::string Utf8ToCp932(std::string_view utf8, bool* lossless) {
    if (lossless) *lossless = true;
    return ToCp932(utf8, [&](std::string_view unit, std::string& out) {
        if (lossless) *lossless = false;
        out.append(unit);
    });
}

std::string Utf8ToCp932Replacing(std::string_view utf8, char replacement) {
    return ToCp932(utf8, [&](std::string_view, std::string& out) { out.push_back(replacement); });
}

std::string Cp932ToUtf8(std::string_view cp932) {
    thread_local Converter conv("UTF-8", "CP932");
    std::string out;
    out.reserve(cp932.size() + cp932.size() / 2);
    std::size_t i = 0;
    while (i < cp932.size()) {
        unsigned char c = static_cast<unsigned char>(cp932[i]);
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
            ++i;
            continue;
        }
        std::size_t n = (IsCp932LeadByte(c) && i + 1 < cp932.size()) ? 2 : 1;
        if (!conv.Convert(cp932.substr(i, n), out)) {
            if (n == 2 && conv.Convert(cp932.substr(i, 1), out)) {
                n = 1;
            } else {
                out.append("\xEF\xBF\xBD");
                n = 1;
            }
        }
        i += n;
    }
    return out;
}

std::size_t Cp932Length(std::string_view utf8) { return Utf8ToCp932(utf8).size(); }

}  // namespace kt

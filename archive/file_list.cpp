#include "archive/file_list.h"

#include <charconv>

namespace kt {
namespace {

void AppendUtf8(char32_t c, std::string& out) {
    if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) c = 0xFFFD;
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

}  // namespace

std::string WideToText(const std::wstring& text) {
    std::string out;
    out.reserve(text.size());
    for (wchar_t c : text) AppendUtf8(static_cast<char32_t>(c), out);
    return out;
}

std::string WideToText(const std::u16string& text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        }
        AppendUtf8(c, out);
    }
    return out;
}

std::string VarToText(const TVarValue& value) {
    struct Visitor {
        std::string operator()(const std::string& s) const { return s; }
        std::string operator()(std::int64_t n) const { return std::to_string(n); }
        std::string operator()(double d) const {
            char buf[64];
            auto result = std::to_chars(buf, buf + sizeof buf, d);
            return std::string(buf, result.ptr);
        }
        std::string operator()(bool b) const { return b ? "True" : "False"; }
    };
    return std::visit(Visitor{}, value);
}

void AppendNames(const TFileListElement& element, std::vector<std::string>& out) {
    struct Visitor {
        std::vector<std::string>& out;
        void operator()(const std::string& s) const { out.push_back(s); }
        void operator()(const std::wstring& s) const { out.push_back(WideToText(s)); }
        void operator()(const std::u16string& s) const { out.push_back(WideToText(s)); }
        void operator()(const char* s) const {
            if (s != nullptr) out.emplace_back(s);
        }
        void operator()(const TCharPtrArray& a) const {
            if (a.items == nullptr) return;
            for (const char* const* p = a.items; *p != nullptr; ++p) out.emplace_back(*p);
        }
        void operator()(const TStringList& list) const {
            out.insert(out.end(), list.begin(), list.end());
        }
        void operator()(const TObjectRef& ref) const {
            if (ref.strings != nullptr) (*this)(*ref.strings);
        }
        void operator()(const TVariant& v) const {
            if (const auto* array = std::get_if<std::vector<TVarValue>>(&v.value)) {
                for (const TVarValue& item : *array) out.push_back(VarToText(item));
            } else {
                out.push_back(VarToText(std::get<TVarValue>(v.value)));
            }
        }
        void operator()(const TIgnoredElement&) const {}
    };
    std::visit(Visitor{out}, element);
}

std::vector<std::string> ExpandFileList(const TFileList& files) {
    std::vector<std::string> names;
    for (const TFileListElement& element : files) AppendNames(element, names);
    return names;
}

}  // namespace kt

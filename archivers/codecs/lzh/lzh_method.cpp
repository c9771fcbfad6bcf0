#include "lzh_method.h"

#include <cstring>

namespace kt::lzh {

std::optional<Method> FindMethod(std::string_view id) {
    struct Row {
        const char* id;
        MethodKind kind;
        int dictBits, np, pbit;
    };
    static const Row kRows[] = {
        {"-lh0-", MethodKind::Stored, 0, 0, 0},    {"-lz4-", MethodKind::Stored, 0, 0, 0},
        {"-lhd-", MethodKind::Directory, 0, 0, 0}, {"-lh4-", MethodKind::Static, 12, 14, 4},
        {"-lh5-", MethodKind::Static, 13, 14, 4},  {"-lh6-", MethodKind::Static, 15, 16, 5},
        {"-lh7-", MethodKind::Static, 16, 17, 5},  {"-lhx-", MethodKind::Static, 19, 20, 5},
        {"-lh1-", MethodKind::Lh1, 12, 0, 0},      {"-lh2-", MethodKind::Lh2, 13, 0, 0},
        {"-lh3-", MethodKind::Lh3, 13, 0, 0},      {"-lzs-", MethodKind::Lzs, 11, 0, 0},
        {"-lz5-", MethodKind::Lz5, 12, 0, 0},
    };
    if (id.size() != 5) return std::nullopt;
    for (const Row& r : kRows) {
        if (id == r.id) {
            Method m;
            std::memcpy(m.id, r.id, 6);
            m.kind = r.kind;
            m.dictBits = r.dictBits;
            m.np = r.np;
            m.pbit = r.pbit;
            return m;
        }
    }
    return std::nullopt;
}

}  // namespace kt::lzh

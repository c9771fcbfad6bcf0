// bzip2 streams for the tests, written by libbz2 itself.
#pragma once

#include <bzlib.h>
#include <gtest/gtest.h>

#include <string>

namespace kt::ziptest {

inline std::string Bzip2Compress(const std::string& plain, int level) {
    unsigned size = static_cast<unsigned>(plain.size() + plain.size() / 50 + 1024);
    std::string out(size, '\0');
    EXPECT_EQ(BZ2_bzBuffToBuffCompress(out.data(), &size, const_cast<char*>(plain.data()),
                                       static_cast<unsigned>(plain.size()), level, 0, 0),
              BZ_OK);
    out.resize(size);
    return out;
}

}  // namespace kt::ziptest

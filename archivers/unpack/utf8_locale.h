// libarchive converts names through the locale of the calling thread. While
// one of these objects lives, that locale's character set is UTF-8 (the
// encoding of every name on this system), whatever locale the host process
// chose, so names are read and written as the UTF-8 they are; the thread's
// previous locale comes back afterwards.
#pragma once

#include <locale.h>

namespace kt::unpack {

class Utf8Locale {
public:
    Utf8Locale();
    ~Utf8Locale();
    Utf8Locale(const Utf8Locale&) = delete;
    Utf8Locale& operator=(const Utf8Locale&) = delete;

private:
    locale_t previous_ = nullptr;
};

}  // namespace kt::unpack

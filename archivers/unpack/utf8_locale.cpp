#include "utf8_locale.h"

namespace kt::unpack {
namespace {

// Made once and kept for the life of the process, as uselocale requires.
locale_t Utf8() {
    static locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
    return utf8;
}

}  // namespace

Utf8Locale::Utf8Locale() {
    if (locale_t utf8 = Utf8()) previous_ = uselocale(utf8);
}

Utf8Locale::~Utf8Locale() {
    if (previous_) uselocale(previous_);
}

}  // namespace kt::unpack

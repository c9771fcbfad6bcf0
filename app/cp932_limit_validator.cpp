#include "app/cp932_limit_validator.h"

#include "platform/cp932.h"

namespace kt {

QValidator::State TCp932LimitValidator::validate(QString& input, int&) const {
    const QByteArray utf8 = input.toUtf8();
    const size_t bytes = Cp932Length(std::string_view(utf8.constData(), utf8.size()));
    return bytes <= static_cast<size_t>(FMaxBytes) ? Acceptable : Invalid;
}

}  // namespace kt

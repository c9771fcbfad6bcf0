// Binary data: hexadecimal lines in an INI file, a binary value in the registry.
#include <QByteArray>
#include <QIODevice>

#include "integer_syntax.h"
#include "platform/registry_store.h"
#include "reg_filer.h"
#include "reg_item.h"
#include "reg_manager.h"
#include "store_access.h"

namespace kt {
namespace {

constexpr int kHexLineLength = 64;  // 32 bytes a line

// Every byte of the stream from its start.
QByteArray AllBytes(QIODevice* stream) {
    if (!stream->isSequential()) stream->seek(0);
    return stream->readAll();
}

}  // namespace

void TRegFiler::ReadStream(QIODevice* stream) {
    if (!stream || !Placed()) return;
    if (Manager()->RegType() == rtReg)
        ReadRegistryStream(stream);
    else
        ReadIniStream(stream);
}

void TRegFiler::WriteStream(QIODevice* stream) {
    if (!stream || !Placed()) return;
    if (Manager()->RegType() == rtReg)
        WriteRegistryStream(stream);
    else
        WriteIniStream(stream);
}

void TRegFiler::WriteIniStream(QIODevice* stream) {
    const QByteArray hex = AllBytes(stream).toHex().toUpper();
    if (hex.isEmpty()) return;
    const std::string& section = Item()->Section;
    const std::string& ident = Item()->Ident;
    const int lines = static_cast<int>((hex.size() + kHexLineLength - 1) / kHexLineLength);
    WriteValue(section, ident + "_c", std::to_string(lines));
    for (int n = 0; n < lines; ++n)
        WriteValue(
            section, ident + "_d" + std::to_string(n),
            hex.mid(static_cast<qsizetype>(n) * kHexLineLength, kHexLineLength).toStdString());
}

void TRegFiler::ReadIniStream(QIODevice* stream) {
    const std::string& section = Item()->Section;
    const std::string& ident = Item()->Ident;
    const std::int32_t count = ParseInteger(ReadValue(section, ident + "_c", "0")).value_or(0);
    QByteArray bytes;
    for (std::int32_t n = 0; n < count; ++n) {
        const std::string line = ReadValue(section, ident + "_d" + std::to_string(n), "");
        // No line written is ever empty: an empty one means the count is
        // damaged, and reading on would only ask for keys that are not there.
        if (line.empty()) break;
        for (std::size_t i = 0; i < line.size(); i += 2) {
            const std::int32_t value = ParseInteger("$" + line.substr(i, 2)).value_or(0);
            bytes.append(static_cast<char>(value & 0xFF));
        }
    }
    stream->write(bytes);
}

void TRegFiler::WriteRegistryStream(QIODevice* stream) {
    TRegistry reg;
    if (!OpenRegDir(*Manager(), reg, true)) return;
    OpenSection(reg, Item()->Section);
    const QByteArray bytes = AllBytes(stream);
    reg.WriteBinaryData(Item()->Ident, bytes.constData(), static_cast<int>(bytes.size()));
}

void TRegFiler::ReadRegistryStream(QIODevice* stream) {
    TRegistry reg;
    if (!OpenRegDir(*Manager(), reg, false)) return;
    OpenSection(reg, Item()->Section);
    if (!reg.ValueExists(Item()->Ident)) return;
    const int size = reg.GetDataSize(Item()->Ident);
    if (size <= 0) return;
    QByteArray bytes(size, '\0');
    const int read = reg.ReadBinaryData(Item()->Ident, bytes.data(), size);
    stream->write(bytes.constData(), read);
}

}  // namespace kt

// String lists: a count and one key per line.
#include "integer_syntax.h"
#include "reg_filer.h"
#include "reg_item.h"

namespace kt {
namespace {

// A default no stored line can equal (a line break never survives the store),
// so a missing line key can be told from an empty line.
const std::string kMissing = "\n";

}  // namespace

void TRegFiler::ReadStrings(std::vector<std::string>* list) {
    if (!list) return;
    list->clear();
    if (!Placed()) return;
    const std::string& section = Item()->Section;
    const std::string& ident = Item()->Ident;
    const std::int32_t count =
        ParseInteger(ReadValue(section, ident + "_ItemCount", "0")).value_or(0);
    for (std::int32_t n = 0; n < count; ++n) {
        std::string line = ReadValue(section, ident + "_Item" + std::to_string(n), kMissing);
        // A damaged count must not make the reader ask for billions of keys
        // that are not there: the list ends at the first missing line.
        if (line == kMissing) break;
        list->push_back(std::move(line));
    }
}

void TRegFiler::WriteStrings(const std::vector<std::string>* list) {
    if (!list || !Placed()) return;
    const std::string& section = Item()->Section;
    const std::string& ident = Item()->Ident;
    WriteValue(section, ident + "_ItemCount", std::to_string(list->size()));
    for (std::size_t n = 0; n < list->size(); ++n)
        WriteValue(section, ident + "_Item" + std::to_string(n), (*list)[n]);
}

}  // namespace kt

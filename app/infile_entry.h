// The record each input-list row owns, its states and the texts shown for
// them, and the path splitting and key rules the list sorts by.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "widgets/list_items_model.h"

namespace kt {

enum TInfileState : std::uint8_t {
    esWaiting = 0,  // "未処理"
    esFailed = 1,   // "失敗"
    esPacking = 2,  // "圧縮中"
    esDone = 3,     // "完了"
    esAborted = 4,  // "中断"
};

struct TInfileEntry : TListItemData {
    std::uint8_t State = esWaiting;
    std::string Path;     // full source path exactly as added
    std::string DirKey;   // directory text, upper-cased
    std::string NameKey;  // file name, upper-cased
};

// The text of a state code; empty for a code outside the table.
const char* StateText(std::uint8_t state);

// "a" to "z" become "A" to "Z"; every other byte stays (UTF-8 bytes of
// other characters are never ASCII letters).
std::string UpperKey(std::string_view text);

// Byte-wise unsigned comparison: -1, 0 or +1; a prefix is smaller.
int CompareKeys(std::string_view a, std::string_view b);

// A path cut into its directory text (the folder path; "/" for a file in the
// root; the current folder for a bare name) and its name. Pure text work.
struct TSplitPath {
    std::string Dir;
    std::string Name;
};
TSplitPath SplitPath(std::string_view path);

}  // namespace kt

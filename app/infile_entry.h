// The record each input-list row owns, its states and the texts shown for
// them, and the key rule the list sorts by.
#pragma once

#include <QString>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/ascii_case.h"  // CompareKeys, the rows' key order
#include "widgets/list_items_model.h"

namespace kt {

enum TInfileState : std::uint8_t {
    esWaiting = 0,  // "未処理"
    esFailed = 1,   // "失敗"
    esPacking = 2,  // "圧縮中"
    esDone = 3,     // "完了"
    esAborted = 4,  // "中断"
};

// The list's columns.
enum TInfileColumn { icDirectory = 0, icName = 1, icState = 2 };

// A list of 100,000 files keeps each path once: the directory and name
// columns are cut from it when a row is painted or sorted.
class TInfileEntry final : public TListItemData {
public:
    explicit TInfileEntry(std::string path);

    std::uint8_t State = esWaiting;
    const std::string& Path() const { return FPath; }  // exactly as added
    // The folder path; "/" for a file in the root; for a bare name, the
    // current folder when the row was made.
    std::string_view Dir() const;
    std::string_view Name() const;
    QString Text(int column) const override;

private:
    // 56 bytes in all, so that a row's record takes one 64-byte heap block.
    std::string FPath;
    std::uint32_t FNameStart = 0;   // after the last "/"; 0 for a bare name
    std::uint32_t FBareFolder = 0;  // for a bare name: its folder's number
};

// The text of a state code; empty for a code outside the table.
const char* StateText(std::uint8_t state);

}  // namespace kt

#include "app/infile_entry.h"

#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/ascii_case.h"

namespace kt {
namespace {

// The folders bare names were added in, kept for the program's life: a
// program changes its current folder rarely, so this stays a handful of
// entries while every row saves a pointer.
std::vector<std::string>& BareFolders() {
    static std::vector<std::string> folders;
    return folders;
}

std::uint32_t CurrentFolderNumber() {
    char* cwd = ::getcwd(nullptr, 0);
    const std::string now = cwd ? cwd : "";
    std::free(cwd);
    std::vector<std::string>& folders = BareFolders();
    for (std::size_t i = 0; i < folders.size(); ++i)
        if (folders[i] == now) return static_cast<std::uint32_t>(i + 1);
    folders.push_back(now);
    return static_cast<std::uint32_t>(folders.size());
}

// The state texts, made once and shared by every row.
const QString& StateCaption(std::uint8_t state) {
    static const QString captions[6] = {
        QString::fromUtf8(StateText(0)), QString::fromUtf8(StateText(1)),
        QString::fromUtf8(StateText(2)), QString::fromUtf8(StateText(3)),
        QString::fromUtf8(StateText(4)), QString()};
    return captions[state < 5 ? state : 5];
}

QString FromBytes(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

TInfileEntry::TInfileEntry(std::string path) : FPath(std::move(path)) {
    const std::size_t slash = FPath.rfind('/');
    if (slash == std::string::npos) {
        FBareFolder = CurrentFolderNumber();
    } else {
        FNameStart = static_cast<std::uint32_t>(slash + 1);
    }
}

std::string_view TInfileEntry::Dir() const {
    if (FBareFolder) return BareFolders()[FBareFolder - 1];
    // The folder text ends before the last "/", except for the root's "/".
    return std::string_view(FPath).substr(0, FNameStart == 1 ? 1 : FNameStart - 1);
}

std::string_view TInfileEntry::Name() const { return std::string_view(FPath).substr(FNameStart); }

QString TInfileEntry::Text(int column) const {
    switch (column) {
        case icDirectory:
            return FromBytes(Dir());
        case icName:
            return FromBytes(Name());
        case icState:
            return StateCaption(State);
        default:
            return {};
    }
}

const char* StateText(std::uint8_t state) {
    switch (state) {
        case esWaiting:
            return "未処理";
        case esFailed:
            return "失敗";
        case esPacking:
            return "圧縮中";
        case esDone:
            return "完了";
        case esAborted:
            return "中断";
        default:
            return "";
    }
}

}  // namespace kt
static_assert(sizeof(kt::TInfileEntry) <= 56, "a row record outgrew its 64-byte heap block");

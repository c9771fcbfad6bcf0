#include "out_folder.h"

#include <filesystem>
#include <iostream>
#include <system_error>

#include "answer_keys.h"
#include "platform/file_scan.h"
#include "terminal.h"

namespace kaltri {

bool CreateOutFolder(const std::string& folder, bool yes, bool terminal, Lang lang) {
    switch (kt::TypeOfPath(folder)) {
        case kt::PathType::Folder:
            return true;
        case kt::PathType::Missing:
            break;
        default:
            std::cerr << Text(lang, Msg::FolderIsFile, folder) << "\n";
            return false;
    }
    if (!yes && terminal) {
        const std::optional<char> a = AskChar(Text(lang, Msg::FolderMissingCreate, folder),
                                              Text(lang, Msg::AnswerYesNoAbort));
        if (AnswerOfKey(a) != kt::TBatchAnswer::Yes) {
            std::cerr << Text(lang, Msg::Stopped) << "\n";
            return false;
        }
    }
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (ec || kt::TypeOfPath(folder) != kt::PathType::Folder) {
        std::cerr << Text(lang, Msg::FolderCreateFailed, folder) << "\n";
        return false;
    }
    return true;
}

}  // namespace kaltri

#include "archive/cmd_opt.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "archive/archiver_options.h"
#include "archive/earchiver.h"
#include "archive/file_list.h"
#include "archive/nul_items.h"
#include "platform/fault_injection.h"

namespace kt {

void TCmdOpt::AddText(const std::string& S) {
    CmdLine += ' ';
    CmdLine += S;
}

void TCmdOpt::AddStrOpt(const std::string& Name, const std::string& Value) {
    if (IsUnset(Value)) return;
    if (Name.empty()) {
        AddItem(Value);
        return;
    }
    std::string sw = Name[0] == ' ' ? Name.substr(1) : "-" + Name;
    if (SeparateValue) {
        AddText(sw);
        AddItem(Value);
    } else {
        AddItem(sw + Value);
    }
}

void TCmdOpt::AddItem(const std::string& Item) {
    // A double quote or a line break cannot be quoted: the item goes in a
    // file of its own, which the library reads in its place.
    if (NeedsNulItems(Item)) {
        AddText("\"" + NulItemsSwitch({Item}) + "\"");
    } else {
        AddText("\"" + Item + "\"");
    }
}

void TCmdOpt::AddIntOpt(const std::string& Name, int N) {
    if (N == -1) return;
    AddText("-" + Name + std::to_string(N));
}

void TCmdOpt::AddBoolOpt(const std::string& Name, bool Flag) {
    if (Flag) AddText("-" + Name);
}

void TCmdOpt::AddName(const std::string& Name, const std::string& Value) { AddStrOpt(Name, Value); }

void TCmdOpt::AddDirName(const std::string& Name, const std::string& Folder) {
    if (Folder.empty() || IsUnset(Folder)) return;
    // In UTF-8 no byte of a multi-byte character is "/", so the last byte
    // decides.
    AddName(Name, Folder.back() == '/' ? Folder : Folder + "/");
}

void TCmdOpt::AddFileName(const std::string& Name, const std::string& File) {
    AddName(Name, ConvertName(File));
}

void TCmdOpt::AddFileNames(const std::string& Name, const TFileList& Files) {
    for (const std::string& file : ExpandFileList(Files)) AddFileName(Name, file);
}

std::string TCmdOpt::ConvertName(const std::string& Name) const {
    return OnConvertName ? OnConvertName(Name) : Name;
}

void TCmdOpt::AddListFile(const TFileList& Files, const std::string& ListFileName) {
    std::vector<std::string> names;
    bool nulItems = false;
    for (const std::string& name : ExpandFileList(Files)) {
        names.push_back(ConvertName(name));
        // Inside a line a double quote is harmless; a line break is not.
        nulItems = nulItems || names.back().find_first_of("\r\n") != std::string::npos;
    }
    // One name per line, quoted; a list holding a name no line can carry is
    // written as NUL-ended items instead and named by the library's switch.
    if (nulItems) {
        WriteNulItems(ListFileName, names);
        AddName("", "--items0=" + ListFileName);
        return;
    }
    std::string text;
    for (const std::string& converted : names) {
        text += '"';
        text += converted;
        text += "\"\r\n";
    }
    int fd = open(ListFileName.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        throw EFCreateError("Cannot create file \"" + ListFileName + "\". " + std::strerror(errno));
    std::size_t done = 0;
    while (done < text.size()) {
        ssize_t n = fault::Write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            int err = errno;
            close(fd);
            throw EFCreateError("Cannot write file \"" + ListFileName + "\". " +
                                std::strerror(err));
        }
        done += static_cast<std::size_t>(n);
    }
    if (close(fd) != 0)
        throw EFCreateError("Cannot write file \"" + ListFileName + "\". " + std::strerror(errno));
    AddName("", "@" + ListFileName);
}

}  // namespace kt

// The command-line builder with which every driver turns an option set, an
// archive name and a file list into the text handed to a library, and
// which writes the response file ("@" list file). Every addition to CmdLine
// begins with one blank.
#pragma once

#include <functional>
#include <string>

#include "archive/archiver_types.h"

namespace kt {

class TCmdOpt {
public:
    // Text switches as switch, blank, quoted value instead of one quoted piece.
    bool SeparateValue = false;
    // Applied to every file name before it is written; none leaves names as
    // they are.
    std::function<std::string(const std::string&)> OnConvertName;
    // The command-line text built so far.
    std::string CmdLine;

    // One blank and S, also when S is empty.
    void AddText(const std::string& S);
    // Nothing for UnsetString. An empty name gives the quoted value alone; a
    // name beginning with a blank is written without that blank instead of
    // with a hyphen. A value holding a double quote or a line break, which
    // no quotes can carry, is added as a NUL items file (see AddItem).
    void AddStrOpt(const std::string& Name, const std::string& Value);
    // One item: in double quotes, or, when it holds a double quote or a line
    // break, as "--items0=FILE" with the item in a file of its own.
    void AddItem(const std::string& Item);
    // Nothing for -1; otherwise "-" Name and N in decimal.
    void AddIntOpt(const std::string& Name, int N);
    // "-" Name when Flag is true.
    void AddBoolOpt(const std::string& Name, bool Flag);
    // As AddStrOpt; for archive names, folders and file names.
    void AddName(const std::string& Name, const std::string& Value);
    // Nothing for an empty or unset folder; otherwise the folder with a
    // trailing "/" ensured.
    void AddDirName(const std::string& Name, const std::string& Folder);
    void AddFileName(const std::string& Name, const std::string& File);
    void AddFileNames(const std::string& Name, const TFileList& Files);
    std::string ConvertName(const std::string& Name) const;
    // Writes the response file (one quoted name per line, each ending in
    // CR LF, no header), replacing any file of that name, then adds the
    // quoted "@" reference. Raises EFCreateError when the file cannot be
    // written, EArchiver (before writing) for a name holding CR or LF. The file stays in place after the command.
    void AddListFile(const TFileList& Files, const std::string& ListFileName);
};

}  // namespace kt

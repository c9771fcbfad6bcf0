// The fuzz bodies of the libraries' command-line parsers, shared by the
// libFuzzer targets and by the seed replay of `make test`. Each takes the
// input as one command line; a parser must give a command or an error code
// with a reason, and never crash, hang or read out of bounds. Inputs that
// name response files ("@list") are cut before the "@", so a fuzz run
// never reads files it happened to name.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "archivers/cab32/cab_command.h"
#include "archivers/tar32/tar_command.h"
#include "archivers/unlha32/lha_command.h"
#include "archivers/unrar32/unrar_command.h"
#include "archivers/unzip32/unzip_command.h"
#include "archivers/zip32j/zip_command.h"

namespace kt::fuzz {

enum class Parser { Lha, Unzip, Zip, Tar, Cab, Unrar };

inline std::string CommandLineOf(const uint8_t* data, std::size_t size) {
    std::string line(reinterpret_cast<const char*>(data), size);
    line.resize(line.find('@') == std::string::npos ? line.size() : line.find('@'));
    return line;
}

// 0 when the line parsed, else the parser's error code; the reason is
// checked to be present whenever a line is refused.
inline int ParseCommandLine(Parser parser, const uint8_t* data, std::size_t size, bool* explained) {
    const std::string line = CommandLineOf(data, size);
    std::string error;
    int code = 0;
    switch (parser) {
        case Parser::Lha: {
            kt::unlha::LhaCommand cmd;
            code = kt::unlha::ParseLhaCommand(line, false, &cmd, &error);
            kt::unlha::LhaCommand bare;
            std::string bareError;
            kt::unlha::ParseLhaCommand(line, true, &bare, &bareError);
            break;
        }
        case Parser::Unzip: {
            kt::unzip32::UnzipCommand cmd;
            if (!kt::unzip32::ParseUnzipCommand(line, cmd, error, code) && code == 0) code = -1;
            break;
        }
        case Parser::Zip: {
            kt::zip32j::ZipCommand cmd;
            if (!kt::zip32j::ParseZipCommand(line, cmd, error, code) && code == 0) code = -1;
            break;
        }
        case Parser::Tar: {
            kt::tar32::TarCommand cmd;
            code = kt::tar32::ParseTarCommand(line, &cmd, &error);
            break;
        }
        case Parser::Cab: {
            kt::cab32::CabCommand cmd;
            code = kt::cab32::ParseCabCommand(line, &cmd, &error);
            break;
        }
        case Parser::Unrar: {
            kt::unrar32::UnrarCommand cmd;
            code = kt::unrar32::ParseUnrarCommand(line, &cmd, &error);
            break;
        }
    }
    *explained = code == 0 || !error.empty();
    return code;
}

}  // namespace kt::fuzz

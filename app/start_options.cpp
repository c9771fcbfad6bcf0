#include "app/start_options.h"

namespace kt {

StartRequest StartRequestOf(const std::vector<std::string>& params) {
    for (const std::string& p : params) {
        if (p == "--") break;
        if (p == "--help" || p == "-h") return StartRequest::Usage;
        if (p == "--version" || p == "-V") return StartRequest::Version;
    }
    return StartRequest::Window;
}

std::vector<std::string> PathParams(const std::vector<std::string>& params) {
    std::vector<std::string> paths;
    bool endSeen = false;
    for (const std::string& p : params) {
        if (p == "--" && !endSeen) {
            endSeen = true;
            continue;
        }
        paths.push_back(p);
    }
    return paths;
}

std::string UsageText() {
    return "Usage: KalvoraTrindle [--] [FILE|FOLDER]...\n"
           "Opens the batch compressor's window with the given files, and every file\n"
           "under the given folders, in its list. Each file is packed into an archive\n"
           "of its own (LZH or ZIP) when 処理(&R) is pressed.\n"
           "\n"
           "  -h, --help     show this text and exit\n"
           "  -V, --version  show the version and exit\n"
           "  --             end of options: what follows is a path, even if it starts with -\n"
           "\n"
           "The window needs a graphical session. For terminals and scripts use kaltri.\n";
}

std::string VersionText() { return std::string("KalvoraTrindle ") + KT_VERSION + "\n"; }

bool DisplayAvailable(const char* qpaPlatform, const char* display, const char* waylandDisplay) {
    auto set = [](const char* v) { return v != nullptr && *v != '\0'; };
    return set(qpaPlatform) || set(display) || set(waylandDisplay);
}

}  // namespace kt

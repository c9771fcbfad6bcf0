#include "config_folder.h"

#include <cstdlib>

namespace kt {

std::string ProgramConfigFolder() {
    std::string base;
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config && config[0] == '/') {
        base = config;
    } else {
        const char* home = std::getenv("HOME");
        base = std::string(home && *home ? home : ".") + "/.config";
    }
    return base + "/KalvoraTrindle";
}

}  // namespace kt

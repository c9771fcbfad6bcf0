// A minimal host: loads an archiver library by path and runs one command
// through its command function, as the program does. Used by tests that need
// a process of their own (a program folder without ZIP32.DLL).
//   zip_host LIBRARY ENTRY "command line"   -> prints the result and the report
#include <dlfcn.h>

#include <cstdio>
#include <vector>

#include "platform/archiver_api.h"

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: zip_host LIBRARY ENTRY COMMANDLINE\n");
        return 2;
    }
    void* lib = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
    if (!lib) {
        std::fprintf(stderr, "%s\n", dlerror());
        return 2;
    }
    auto proc = reinterpret_cast<ARC_COMMAND_PROC>(dlsym(lib, argv[2]));
    if (!proc) return 2;
    std::vector<char> out(4096);
    int rc = proc(nullptr, argv[3], out.data(), static_cast<DWORD>(out.size()));
    std::printf("%d\n%s", rc, out.data());
    return 0;
}

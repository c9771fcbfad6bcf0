#include "archive/lha_driver.h"

namespace kt {
namespace {

using Switch = TArchiverOptions::TSwitch TArchiverOptions::*;

void AddIntOpts(TCmdOpt& Cmd, const TArchiverOptions& Options,
                std::initializer_list<std::pair<const char*, Switch>> switches) {
    for (const auto& [name, field] : switches) Cmd.AddIntOpt(name, Options.*field);
}

}  // namespace

bool TLha32::IsArchive(const std::string& FileName) {
    try {
        Lib::Load();
        std::string path = ExpandFileName(FileName);
        TLibraryCalls lib = Library();
        if (lib.CheckArchive(path, CHECKARCHIVE_ALL) == 0) return false;
        HARC arc = lib.OpenArchive(nullptr, path, ProbeOpenMode);
        if (arc != nullptr) lib.CloseArchive(arc);
        return arc != nullptr;
    } catch (...) {
        return false;
    }
}

std::string TLha32::MakeCmdLine(const std::string& Command, const std::string& ArcName,
                                const TArchiverOptions& Options, const std::string& Folder,
                                const TFileList& Files, bool UseResFile) const {
    using O = TArchiverOptions;
    TCmdOpt cmd;
    cmd.AddText("-+");
    AddIntOpts(cmd, Options,
               {{"a", &O::a},
                {"c", &O::c},
                {"e", &O::e},
                {"f", &O::f},
                {"h", &O::h},
                {"i", &O::i},
                {"l", &O::l},
                {"m", &O::m}});
    // While a progress window is registered the library must not show its
    // own progress dialog.
    cmd.AddIntOpt("n", HasOwnerWindow() ? 1 : Options.n);
    AddIntOpts(
        cmd, Options,
        {{"o", &O::o}, {"p", &O::p}, {"r", &O::r}, {"s", &O::s}, {"t", &O::t}, {"u", &O::u}});
    cmd.AddDirName("w", Options.w);
    AddIntOpts(cmd, Options,
               {{"x", &O::x},
                {"y", &O::y},
                {"z", &O::z},
                {"jc", &O::jc},
                {"jd", &O::jd},
                {"je", &O::je},
                {"jf", &O::jf},
                {"jh", &O::jh},
                {"ji", &O::ji},
                {"jm", &O::jm},
                {"jn", &O::jn}});
    cmd.AddStrOpt("jo", Options.jo);
    cmd.AddStrOpt("job", Options.job);
    AddIntOpts(cmd, Options, {{"jp", &O::jp}, {"jr", &O::jr}, {"jss", &O::jss}, {"jw", &O::jw}});
    for (const std::string& pattern : Options.jx) cmd.AddStrOpt("jx", pattern);
    AddIntOpts(
        cmd, Options,
        {{"jyc", &O::jyc}, {"jyd", &O::jyd}, {"jyk", &O::jyk}, {"jyn", &O::jyn}, {"jyo", &O::jyo}});
    cmd.AddStrOpt("jz", Options.jz);
    AddIntOpts(cmd, Options,
               {{"ga", &O::ga},
                {"gd", &O::gd},
                {"ge", &O::ge},
                {"gf", &O::gf},
                {"gj", &O::gj},
                {"gm", &O::gm},
                {"gn", &O::gn},
                {"go", &O::go},
                {"gp", &O::gp}});
    cmd.AddStrOpt("gr", Options.gr);
    AddIntOpts(cmd, Options, {{"gs", &O::gs}, {"gu", &O::gu}, {"gw", &O::gw}});
    cmd.AddText(Options.UserOptions);
    AddArcAndDir(cmd, ArcName, Folder);
    AddFileList(cmd, Options, UseResFile, Files);
    return Command + cmd.CmdLine;
}

}  // namespace kt

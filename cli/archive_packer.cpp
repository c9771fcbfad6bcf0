#include "archive_packer.h"

#include "archive/archive_file.h"
#include "archive/archiver_factory.h"
#include "archive/batch_run.h"
#include "archive/format_table.h"
#include "archive_commands.h"
#include "platform/fault_injection.h"
#include "source_removal.h"

namespace kaltri {

struct ArchivePacker::Impl {
    explicit Impl(const std::atomic<bool>& interrupted) : interrupted(interrupted) {}
    kt::TArchiveFile archive;
    std::string password;
    kt::TArchiverType type = kt::atZip;
    bool test = false;
    SourceRemoval removal = SourceRemoval::Keep;
    const std::atomic<bool>& interrupted;
};

std::string MissingLibraryText(kt::TArchiverType format) {
    try {
        // Constructing the driver loads its library; CheckPackDLL also asks
        // for the library that creates archives.
        kt::CreateArchiver(format)->CheckPackDLL();
        return {};
    } catch (const std::exception& e) {
        return e.what();
    }
}

ArchivePacker::ArchivePacker(const Options& options, std::string password,
                             const std::atomic<bool>& interrupted)
    : impl_(new Impl(interrupted)) {
    kt::TBatchSettings settings;
    settings.Type = options.format;
    settings.Password = password;
    kt::ConfigureBatchArchive(impl_->archive, settings);
    impl_->type = settings.Type;
    impl_->password = std::move(password);
    impl_->test = options.test;
    impl_->removal = options.removal;
    // Both drivers already carry these as switches: ZIP writes jm as its
    // level ("-9"), LZH o as the method ("-o7") and jm as the effort ("-jm1").
    kt::TArchiverOptions& o = impl_->archive.Options();
    if (options.level) o.jm = static_cast<kt::TArchiverOptions::TSwitch>(*options.level);
    if (options.method) o.o = static_cast<kt::TArchiverOptions::TSwitch>(*options.method);
    if (options.effort) o.jm = static_cast<kt::TArchiverOptions::TSwitch>(*options.effort);
    // ZIP32J.DLL's own switch for AES goes before the password it applies to.
    if (options.aesBits != 0 && !o.UserOptions.empty())
        o.UserOptions = "-Y" + std::to_string(options.aesBits) + " " + o.UserOptions;
    // A progress handler makes the libraries report to us, and their next
    // report after Ctrl-C is answered with "stop".
    impl_->archive.OnProgress = [&interrupted](kt::TArchiveFile*, int, EXTRACTINGINFOEX*,
                                               bool& abort) {
        if (interrupted) abort = true;
    };
}

ArchivePacker::~ArchivePacker() { delete impl_; }

kt::JobResult ArchivePacker::Pack(const std::string& archive, const std::string& source,
                                  bool newArchive) {
    kt::TBatchRun::TPlan plan;
    plan.Type = impl_->type;
    plan.Source = source;
    plan.Archive = archive;
    plan.NewArchive = newArchive;
    // Our own reader tests the archive while it still has its temporary
    // name, so a bad one never replaces a good old one.
    kt::TPackCheck check;
    // Read once the test is over: an interrupt after that no longer keeps the source.
    bool interruptedBeforeTested = true;
    if (impl_->test) {
        check.Run = [&](const std::string& temporary) {
            kt::fault::BeforeArchiveTest(temporary.c_str(), source.c_str());
            int code =
                TestMembers(*impl_->archive.Archiver(), temporary, impl_->password, check.Report);
            interruptedBeforeTested = impl_->interrupted;
            return code;
        };
    }
    const SourceStamp before =
        impl_->removal != SourceRemoval::Keep ? StampOf(source) : SourceStamp{};
    const kt::TEntryOutcome o =
        kt::TBatchRun::Pack(impl_->archive, plan, nullptr, impl_->test ? &check : nullptr);
    kt::JobResult r;
    r.code = o.Code;
    r.output = o.Report;
    r.fault = static_cast<int>(o.Fault);
    if (o.Ok())
        r.fate = static_cast<int>(RemoveSource(source, before, archive, impl_->removal,
                                               interruptedBeforeTested, r.fateDetail));
    return r;
}

}  // namespace kaltri

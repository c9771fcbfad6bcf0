#include "archive_packer.h"

#include "archive/archive_file.h"
#include "archive/archiver_factory.h"
#include "archive/batch_run.h"

namespace kaltri {

struct ArchivePacker::Impl {
    kt::TArchiveFile archive;
};

std::string MissingLibraryText(Format format) {
    try {
        // Constructing the driver loads its library; CheckPackDLL also asks
        // for the library that creates archives.
        kt::CreateArchiver(format == Format::Lzh ? kt::atLha : kt::atZip)->CheckPackDLL();
        return {};
    } catch (const std::exception& e) {
        return e.what();
    }
}

ArchivePacker::ArchivePacker(Format format, std::string password, const std::atomic<bool>& interrupted)
    : impl_(new Impl) {
    kt::TBatchSettings settings;
    settings.Extension = format == Format::Lzh ? ".lzh" : ".zip";
    settings.Password = std::move(password);
    kt::ConfigureBatchArchive(impl_->archive, settings);
    // A progress handler makes the libraries report to us, and their next
    // report after Ctrl-C is answered with "stop".
    impl_->archive.OnProgress = [&interrupted](kt::TArchiveFile*, int, EXTRACTINGINFOEX*, bool& abort) {
        if (interrupted) abort = true;
    };
}

ArchivePacker::~ArchivePacker() { delete impl_; }

JobResult ArchivePacker::Pack(const std::string& archive, const std::string& source) {
    kt::TBatchRun::TPlan plan;
    plan.Source = source;
    plan.Archive = archive;
    const kt::TEntryOutcome o = kt::TBatchRun::Pack(impl_->archive, plan);
    JobResult r;
    r.code = o.Code;
    r.output = o.Report;
    r.fault = static_cast<int>(o.Fault);
    return r;
}

}  // namespace kaltri

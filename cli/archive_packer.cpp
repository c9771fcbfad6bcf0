#include "archive_packer.h"

#include "archive/archive_file.h"
#include "archive/archiver_factory.h"
#include "archive/earchiver.h"
#include "archive/pack_one.h"

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
    kt::ConfigureForBatchRun(impl_->archive);
    // The same switch the window's run passes for a ZIP password.
    impl_->archive.Options().UserOptions =
        (format == Format::Zip && !password.empty()) ? "-P \"" + password + "\"" : "";
    // A progress handler makes the libraries report to us, and their next
    // report after Ctrl-C is answered with "stop".
    impl_->archive.OnProgress = [&interrupted](kt::TArchiveFile*, int, EXTRACTINGINFOEX*, bool& abort) {
        if (interrupted) abort = true;
    };
}

ArchivePacker::~ArchivePacker() { delete impl_; }

JobResult ArchivePacker::Pack(const std::string& archive, const std::string& source, bool) {
    JobResult r;
    try {
        // PackOneFile replaces an existing archive only once the new one is
        // complete, so the replace decision needs nothing more here.
        r.code = kt::PackOneFile(impl_->archive, nullptr, archive, source);
        if (r.code != 0) r.output = impl_->archive.OutputText();
    } catch (const std::exception& e) {
        r.code = ERROR_UNKNOWN;
        r.output = e.what();
    }
    return r;
}

}  // namespace kaltri

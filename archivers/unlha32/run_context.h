// What one library command works with: its parsed command line, the report
// text, progress to the owner window and the cancel state.
#pragma once

#include <string>

#include "archivers/common/member_info.h"
#include "archivers/common/owner_window.h"
#include "archivers/common/report.h"
#include "lha_command.h"
#include "lzh_header.h"

namespace kt::unlha {

class RunContext {
public:
    RunContext(const LhaCommand& cmd, kt::arc::Report& report, kt::arc::OwnerWindow& owner)
        : cmd(cmd), report(report), owner_(owner) {}

    // Sends one progress message for a member (h may be null for archive-wide
    // states). False when the owner asked to stop; Cancelled() then stays true.
    bool Progress(UINT state, const std::string& source, const std::string& dest, uint64_t size,
                  uint64_t done, const MemberHeader* h);
    bool Cancelled() const { return cancelled_; }
    bool Reporting() const { return owner_.Active(); }

    // Keeps the first error, but lets a later error replace a warning
    // (warnings are 0x8005..0x8011).
    void Fail(int code);
    int Result() const { return result_; }

    const LhaCommand& cmd;
    kt::arc::Report& report;

private:
    kt::arc::OwnerWindow& owner_;
    bool cancelled_ = false;
    int result_ = 0;
};

// Sources and sinks that report progress every so many bytes.
constexpr uint64_t kProgressStep = 1 << 20;

// Text forms used in records and listings.
std::string AttributeText(const MemberHeader& h);
using kt::arc::RatioPerMille;

}  // namespace kt::unlha

// Progress of one command to the library's owner window, member by member,
// and the owner's answer: once it asks to stop, every later report is
// refused too, so the command winds down at its next check.
#pragma once

#include <cstdint>
#include <string>

#include "owner_window.h"

namespace kt::arc {

// How often a long member reports while its bytes are written.
constexpr uint64_t kProgressStep = 1 << 20;

class ProgressSender {
public:
    explicit ProgressSender(OwnerWindow& owner) : owner_(owner) {}

    // Sends "wm_arcextract" with state (ARCEXTRACT_*) for the member
    // `source` going to `dest`, `done` of `size` bytes written. False when
    // the owner asked to stop (now or before).
    bool Send(UINT state, const std::string& source, const std::string& dest, uint64_t size,
              uint64_t done);
    bool Cancelled() const { return cancelled_; }

private:
    OwnerWindow& owner_;
    bool cancelled_ = false;
};

}  // namespace kt::arc

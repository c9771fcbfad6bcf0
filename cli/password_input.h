// The ZIP password of a command: read from --password-file or asked for
// with -p, and refused when it cannot be handed to a library as typed.
#pragma once

#include <atomic>
#include <string>

#include "messages.h"
#include "options.h"

namespace kaltri {

// Fills *password ("" when the command gives none) and returns true, or
// prints why not and returns false with the exit status in *status.
// confirm asks twice, as a password that makes an archive must be.
bool ObtainPassword(const Options& o, Lang lang, bool confirm, const std::atomic<bool>& interrupted,
                    std::string* password, int* status);

}  // namespace kaltri

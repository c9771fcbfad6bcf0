// The letters a question on the terminal is answered with, read in one
// place: y (or Y) yes, n (or N) no, o no to all, A yes to all. Anything
// else, and no answer at all (end of input, an interrupt), is abort.
#pragma once

#include <optional>

#include "archive/batch_run.h"

namespace kaltri {

kt::TBatchAnswer AnswerOfKey(std::optional<char> key);

}  // namespace kaltri

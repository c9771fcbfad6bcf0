#include "answer_keys.h"

namespace kaltri {

kt::TBatchAnswer AnswerOfKey(std::optional<char> key) {
    switch (key.value_or('a')) {
        case 'y':
        case 'Y':
            return kt::TBatchAnswer::Yes;
        case 'n':
        case 'N':
            return kt::TBatchAnswer::No;
        case 'o':
            return kt::TBatchAnswer::NoToAll;
        case 'A':
            return kt::TBatchAnswer::YesToAll;
        default:
            return kt::TBatchAnswer::Abort;
    }
}

}  // namespace kaltri

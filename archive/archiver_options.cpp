#include "archive/archiver_options.h"

namespace kt {

#define KT_NUM(name) \
    TArchiverOptions::NumberSwitch { #name, &TArchiverOptions::name }
const std::array<TArchiverOptions::NumberSwitch, 47> TArchiverOptions::NumberSwitches = {
    KT_NUM(a),   KT_NUM(c),  KT_NUM(e),   KT_NUM(f),   KT_NUM(h),   KT_NUM(i),   KT_NUM(l),
    KT_NUM(m),   KT_NUM(n),  KT_NUM(o),   KT_NUM(p),   KT_NUM(r),   KT_NUM(s),   KT_NUM(t),
    KT_NUM(u),   KT_NUM(x),  KT_NUM(y),   KT_NUM(z),   KT_NUM(jc),  KT_NUM(jd),  KT_NUM(je),
    KT_NUM(jf),  KT_NUM(jh), KT_NUM(ji),  KT_NUM(jm),  KT_NUM(jn),  KT_NUM(jp),  KT_NUM(jr),
    KT_NUM(jss), KT_NUM(jw), KT_NUM(jyc), KT_NUM(jyd), KT_NUM(jyk), KT_NUM(jyn), KT_NUM(jyo),
    KT_NUM(ga),  KT_NUM(gd), KT_NUM(ge),  KT_NUM(gf),  KT_NUM(gj),  KT_NUM(gm),  KT_NUM(gn),
    KT_NUM(go),  KT_NUM(gp), KT_NUM(gs),  KT_NUM(gu),  KT_NUM(gw),
};
#undef KT_NUM

const std::array<TArchiverOptions::TextSwitch, 5> TArchiverOptions::TextSwitches = {{
    {"w", &TArchiverOptions::w},
    {"jo", &TArchiverOptions::jo},
    {"job", &TArchiverOptions::job},
    {"jz", &TArchiverOptions::jz},
    {"gr", &TArchiverOptions::gr},
}};

void TArchiverOptions::Reset() {
    for (const NumberSwitch& sw : NumberSwitches) this->*sw.field = -1;
    for (const TextSwitch& sw : TextSwitches) this->*sw.field = UnsetString;
    jx.clear();
    UserOptions.clear();
    UserFileList.clear();
    ResFileName.clear();
    PackFilter = pfComponent;
    ResFileUsage = {ruOnPack, ruOnUnpack, ruOnRemoveItem};
}

}  // namespace kt

#include "archive/archiver_factory.h"

namespace kt {
namespace {

TArchiverFactory& FactoryOverride() {
    static TArchiverFactory factory;
    return factory;
}

const TContentProbes*& ProbesOverride() {
    static const TContentProbes* probes = nullptr;
    return probes;
}

std::unique_ptr<TArchiver> CreateDriver(TArchiverType Type) {
    switch (Type) {
        default:
            return nullptr;
    }
}

TContentProbes MakeProbes() {
    TContentProbes probes;
    return probes;
}

}  // namespace

std::unique_ptr<TArchiver> CreateArchiver(TArchiverType Type) {
    if (FactoryOverride()) return FactoryOverride()(Type);
    return CreateDriver(Type);
}

const TContentProbes& ArchiverContentProbes() {
    if (ProbesOverride() != nullptr) return *ProbesOverride();
    static const TContentProbes probes = MakeProbes();
    return probes;
}

std::vector<const TArchiverClass*> ArchiverClasses() { return {}; }

void SetArchiverFactoryForTesting(TArchiverFactory Factory) {
    FactoryOverride() = std::move(Factory);
}

void SetContentProbesForTesting(const TContentProbes* Probes) { ProbesOverride() = Probes; }

}  // namespace kt

#include "archive/archiver_factory.h"

#include "archive/arj_driver.h"
#include "archive/bga_driver.h"
#include "archive/cab_driver.h"
#include "archive/lha_driver.h"
#include "archive/rar_driver.h"
#include "archive/tar_driver.h"
#include "archive/zip_driver.h"

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
        case atLha:
            return std::make_unique<TLha32>();
        case atZip:
            return std::make_unique<TZip32>();
        case atCab:
            return std::make_unique<TCab32>();
        case atArj:
            return std::make_unique<TArj32>();
        case atTar:
            return std::make_unique<TTar32>();
        case atTgz:
            return std::make_unique<TTgz32>();
        case atBZ2:
            return std::make_unique<TBZ232>();
        case atRar:
            return std::make_unique<TRar32>();
        case atBga:
            return std::make_unique<TBGA32>();
        default:
            return nullptr;  // atYz1 has no driver; atNone and atAutoDetect are no formats
    }
}

TContentProbes MakeProbes() {
    TContentProbes probes;
    probes.Tar = &TTar32::ArchiveTypeOf;
    probes.Others = {{{atRar, &TRar32::IsArchive},
                      {atArj, &TArj32::IsArchive},
                      {atZip, &TZip32::IsArchive},
                      {atBga, &TBGA32::IsArchive},
                      {atCab, &TCab32::IsArchive},
                      {atLha, &TLha32::IsArchive}}};
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

std::vector<const TArchiverClass*> ArchiverClasses() {
    return {&TLha32::ClassInfo, &TZip32::ClassInfo, &TCab32::ClassInfo,
            &TArj32::ClassInfo, &TTar32::ClassInfo, &TTgz32::ClassInfo,
            &TBZ232::ClassInfo, &TRar32::ClassInfo, &TBGA32::ClassInfo};
}

void SetArchiverFactoryForTesting(TArchiverFactory Factory) {
    FactoryOverride() = std::move(Factory);
}

void SetContentProbesForTesting(const TContentProbes* Probes) { ProbesOverride() = Probes; }

}  // namespace kt

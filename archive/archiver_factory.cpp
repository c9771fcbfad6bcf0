#include "archive/archiver_factory.h"

#include <algorithm>

#include "archive/format_table.h"

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

// The rows with a probe, in asking order.
std::vector<const TFormatRow*> ProbedRows() {
    std::vector<const TFormatRow*> rows;
    for (const TFormatRow& row : FormatTable())
        if (row.DetectionPlace >= 0) rows.push_back(&row);
    std::sort(rows.begin(), rows.end(), [](const TFormatRow* a, const TFormatRow* b) {
        return a->DetectionPlace < b->DetectionPlace;
    });
    return rows;
}

TContentProbes MakeProbes() {
    TContentProbes probes;
    probes.Others.clear();
    for (const TFormatRow* row : ProbedRows()) {
        if (row->Probe.TypeOf != nullptr) probes.Tar = row->Probe.TypeOf;
        if (row->Probe.IsArchive != nullptr)
            probes.Others.push_back({row->Type, row->Probe.IsArchive});
    }
    return probes;
}

}  // namespace

std::vector<TContentProbes::YesNo> TContentProbes::AskingOrder() {
    std::vector<YesNo> order;
    for (const TFormatRow* row : ProbedRows())
        if (row->Probe.IsArchive != nullptr) order.push_back({row->Type, nullptr});
    return order;
}

std::unique_ptr<TArchiver> CreateArchiver(TArchiverType Type) {
    if (FactoryOverride()) return FactoryOverride()(Type);
    const TFormatRow* row = FindFormat(Type);
    // atYz1 has no driver; atNone and atAutoDetect are no formats.
    return row != nullptr ? row->Create() : nullptr;
}

const TContentProbes& ArchiverContentProbes() {
    if (ProbesOverride() != nullptr) return *ProbesOverride();
    static const TContentProbes probes = MakeProbes();
    return probes;
}

std::vector<const TArchiverClass*> ArchiverClasses() {
    std::vector<const TArchiverClass*> classes;
    for (const TFormatRow& row : FormatTable()) classes.push_back(row.Class);
    return classes;
}

void SetArchiverFactoryForTesting(TArchiverFactory Factory) {
    FactoryOverride() = std::move(Factory);
}

void SetContentProbesForTesting(const TContentProbes* Probes) { ProbesOverride() = Probes; }

}  // namespace kt

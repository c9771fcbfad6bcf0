#include "reg_item.h"

#include <QString>
namespace kt {

TRegItem* TRegItems::Add() { return Add(TRegItem()); }

TRegItem* TRegItems::Add(const TRegItem& item) {
    FItems.push_back(std::make_unique<TRegItem>(item));
    return FItems.back().get();
}

void TRegItems::Delete(int index) {
    if (index >= 0 && index < Count()) FItems.erase(FItems.begin() + index);
}

void TRegItems::Assign(const TRegItems& source) {
    FItems.clear();
    for (int i = 0; i < source.Count(); ++i) Add(*source.Items(i));
}

TRegItem* TRegItems::Items(int index) const {
    return index >= 0 && index < Count() ? FItems[static_cast<std::size_t>(index)].get() : nullptr;
}

void TRegItems::SetItems(int index, const TRegItem& value) {
    if (TRegItem* item = Items(index)) item->Assign(value);
}

TRegItem* TRegItems::FindItem(const std::string& name) const {
    // Unicode-aware, so names outside ASCII match without case too.
    const QString wanted = QString::fromStdString(name);
    for (const auto& item : FItems)
        if (QString::compare(QString::fromStdString(item->Name), wanted, Qt::CaseInsensitive) == 0)
            return item.get();
    return nullptr;
}

}  // namespace kt

#include "reg_manager.h"

#include "error_box.h"
#include "reg_filer.h"

namespace kt {

TRegManager::TRegManager(QObject* owner)
    : QObject(owner), FRegItems(std::make_unique<TRegItems>()) {}

TRegManager::~TRegManager() = default;

void TRegManager::SetRegItems(const TRegItems& items) {
    if (FFiler) FFiler->SetItem(nullptr);
    FRegItems->Assign(items);
}

std::unique_ptr<TRegFiler> TRegManager::CreateFiler() { return std::make_unique<TRegFiler>(this); }

TRegFiler* TRegManager::Filer(const std::string& name) {
    if (!FFiler) FFiler = CreateFiler();
    TRegItem* item = FRegItems->FindItem(name);
    if (item == nullptr) ShowErrorBox("[' " + name + " '] is invalid.");
    FFiler->SetItem(item);
    return FFiler.get();
}

}  // namespace kt

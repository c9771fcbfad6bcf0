// TRegManager: keeps named settings for its owner in an INI file or under a
// key of the current user's registry. The owner fills the item table; code
// asks for an item by name and reads or writes it through the filer.
#pragma once

#include <QObject>
#include <memory>
#include <string>

#include "reg_item.h"

namespace kt {

class TRegFiler;

enum TRegType { rtReg, rtIni };

class TRegManager : public QObject {
    Q_OBJECT

public:
    explicit TRegManager(QObject* owner = nullptr);
    ~TRegManager() override;

    const std::string& IniFileName() const { return FIniFileName; }
    void SetIniFileName(const std::string& fileName) { FIniFileName = fileName; }
    const std::string& RegDir() const { return FRegDir; }
    void SetRegDir(const std::string& dir) { FRegDir = dir; }
    TRegItems* RegItems() const { return FRegItems.get(); }
    // Replaces the table; the filer is unbound, as its item is gone.
    void SetRegItems(const TRegItems& items);
    TRegType RegType() const { return FRegType; }
    void SetRegType(TRegType type) { FRegType = type; }

    // The manager's one filer, bound to the item named `name` (case does not
    // matter) until the next call. For an unknown name an error box says
    // "[' name '] is invalid." and the filer is bound to no item, so reads
    // give empty, zero or false and writes are dropped. Never null.
    TRegFiler* Filer(const std::string& name);

protected:
    // Makes the filer; a derived manager returns a derived filer. Called once,
    // by the first Filer() call (a constructor cannot reach an override).
    virtual std::unique_ptr<TRegFiler> CreateFiler();

private:
    std::string FIniFileName;
    std::string FRegDir;
    std::unique_ptr<TRegItems> FRegItems;
    TRegType FRegType = rtReg;
    std::unique_ptr<TRegFiler> FFiler;
};

}  // namespace kt

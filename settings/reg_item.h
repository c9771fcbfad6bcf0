// The settings table: items that map the names the code uses to places in the
// store, each with the text read when the store holds nothing.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace kt {

class TRegItem {
public:
    TRegItem() = default;
    TRegItem(std::string name, std::string section, std::string ident, std::string defaultValue)
        : Name(std::move(name)),
          Section(std::move(section)),
          Ident(std::move(ident)),
          DefaultValue(std::move(defaultValue)) {}

    // Copies all four texts.
    void Assign(const TRegItem& source) { *this = source; }

    std::string Name;          // how the code finds the item; case does not matter
    std::string Section;       // INI section, or registry key below the manager's RegDir
    std::string Ident;         // INI key or registry value; derived keys append to it
    std::string DefaultValue;  // read when the store has no value
};

// The ordered item table. Items stay at their address while they are in the
// table, so a filer may hold one until the next lookup.
class TRegItems {
public:
    TRegItems() = default;
    TRegItems(const TRegItems& source) { Assign(source); }
    TRegItems& operator=(const TRegItems& source) {
        if (this != &source) Assign(source);
        return *this;
    }
    virtual ~TRegItems() = default;

    // Appends an item with all texts empty.
    TRegItem* Add();
    TRegItem* Add(const TRegItem& item);
    int Count() const { return static_cast<int>(FItems.size()); }
    void Clear() { FItems.clear(); }
    void Delete(int index);
    // Makes this table a copy of `source`.
    void Assign(const TRegItems& source);

    // Item by index 0 ... Count() - 1; nullptr outside.
    virtual TRegItem* Items(int index) const;
    // Copies the texts of `value` into the item at `index`.
    virtual void SetItems(int index, const TRegItem& value);
    // The first item whose Name equals `name` without regard to case, or nullptr.
    virtual TRegItem* FindItem(const std::string& name) const;

private:
    std::vector<std::unique_ptr<TRegItem>> FItems;
};

}  // namespace kt

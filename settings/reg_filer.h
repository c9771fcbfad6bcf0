// TRegFiler: reads and writes the item its manager bound it to. ReadValue and
// WriteValue are the only operations that touch the store; every other one is
// built on them (except binary data in registry mode, stored as a binary
// value). Each access opens the store afresh; nothing is cached.
//
// Stored forms, all in the item's Section:
//   string       Ident = the text unchanged
//   integer      Ident = decimal
//   flag         Ident = "1" or "0"
//   font         Ident_FontName, Ident_FontSize (points), Ident_FontColor (colour text)
//   string list  Ident_ItemCount, then Ident_Item0 ... Ident_Item<count-1>
//   binary, INI  Ident_c = number of lines, Ident_d0 ... = upper-case hex, 64 characters a line
//   binary, reg  value Ident of type binary
// Operations on no item, or on an item with an empty Section or Ident, store
// nothing and read as an empty store.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/color_names.h"

class QIODevice;
class QObject;
class QWidget;

namespace kt {

class TRegItem;
class TRegManager;

// The part of a font the store keeps: face, size in points and colour.
struct TFont {
    std::string Name;
    int Size = 9;
    TColor Color = clWindowText;
};

class TRegFiler {
public:
    explicit TRegFiler(TRegManager* manager) : FManager(manager) {}
    virtual ~TRegFiler() = default;
    TRegFiler(const TRegFiler&) = delete;
    TRegFiler& operator=(const TRegFiler&) = delete;

    TRegManager* Manager() const { return FManager; }
    TRegItem* Item() const { return FItem; }
    void SetItem(TRegItem* item) { FItem = item; }

    // The item's text, or its DefaultValue; empty for no item.
    virtual std::string ReadString();
    virtual void WriteString(const std::string& value);
    // The text as an integer ("$" hex allowed); 0 when it is not one.
    virtual std::int32_t ReadInteger();
    virtual void WriteInteger(std::int32_t value);
    // True when the stored integer's lowest 8 bits are not all zero. Only the
    // DefaultValue may be a word: "1", "TRUE" or "YES" in any case mean true.
    virtual bool ReadBool();
    virtual void WriteBool(bool value);

    // The store itself. Empty section or ident: the default, nothing opened.
    virtual std::string ReadValue(const std::string& section, const std::string& ident,
                                  const std::string& defaultValue);
    // Empty section or ident: nothing happens. Raises EIniFileException or
    // ERegistryException when the store refuses the write.
    virtual void WriteValue(const std::string& section, const std::string& ident,
                            const std::string& value);

    // Name, size and colour; a missing size keeps the current one. A colour
    // text that is neither a colour name nor an integer raises EConvertError
    // after name and size have been applied. Null font: nothing happens.
    virtual void ReadFont(TFont* font);
    virtual void WriteFont(const TFont* font);

    // Replaces the list's lines by the stored ones. Null list: nothing happens.
    virtual void ReadStrings(std::vector<std::string>* list);
    // Keys of a longer earlier list stay in the store; the count tells.
    virtual void WriteStrings(const std::vector<std::string>* list);

    // Writes the stored bytes into the stream at its position.
    virtual void ReadStream(QIODevice* stream);
    // Stores every byte of the stream from its start. An empty stream stores
    // nothing, so earlier data stays.
    virtual void WriteStream(QIODevice* stream);

    // Stores the component's properties and named children (see
    // component_stream.h). A top-level window is not stored.
    virtual void WriteComponent(QObject* component);
    // Replaces `control` by a copy rebuilt from the stored data, under the
    // same parent and the same names, and destroys the old control. Returns
    // the control now in place: the copy, or `control` itself when nothing
    // is stored or the data cannot be rebuilt (that failure is quiet).
    virtual QWidget* ReadComponent(QWidget* control);

protected:
    // True when the bound item names a place in the store.
    bool Placed() const;

private:
    void ReadRegistryStream(QIODevice* stream);
    void WriteRegistryStream(QIODevice* stream);
    void ReadIniStream(QIODevice* stream);
    void WriteIniStream(QIODevice* stream);

    TRegManager* FManager;
    TRegItem* FItem = nullptr;
};

}  // namespace kt

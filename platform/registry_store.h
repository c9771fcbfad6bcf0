// The current user's registry (HKEY_CURRENT_USER) kept in one file,
// $XDG_CONFIG_HOME/KalvoraTrindle/HKEY_CURRENT_USER.reg (XDG_CONFIG_HOME
// defaults to ~/.config), behind the registry object the settings code is
// written against.
//
// Keys form a tree addressed by paths with "\" between the names; key and
// value names are found without regard to (ASCII) case and keep the case they
// were created with. Values are text (REG_SZ) or bytes (REG_BINARY, or any
// other type number). Nothing is cached: every call reads the file, and every
// change replaces it atomically (mode 0600, folder 0700), so two registry
// objects, or two processes, always see each other's last completed change.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

#include "windows_types.h"

namespace kt {

constexpr DWORD REG_SZ = 1;
constexpr DWORD REG_EXPAND_SZ = 2;
constexpr DWORD REG_BINARY = 3;

// A registry operation that failed; the text says which and for what name.
class ERegistryException : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class TRegistry {
public:
    TRegistry() = default;

    // The file that holds the store.
    static std::string StoreFileName();

    // Makes `key` the current key: relative to the current key, or to the
    // root when it starts with "\" or no key is open. With `canCreate` a
    // missing key (and every missing key above it) is created. False when
    // the key is missing and not to be created, or cannot be created.
    bool OpenKey(const std::string& key, bool canCreate);
    void CloseKey();
    // The current key's path below the root, empty when none is open.
    const std::string& CurrentPath() const { return FCurrentPath; }

    // Creates `key` (relative as for OpenKey) without opening it. Raises
    // "キー %s の作成に失敗しました" when it cannot be created.
    void CreateKey(const std::string& key);
    bool KeyExists(const std::string& key);

    // Values of the current key (the root's when none is open).
    bool ValueExists(const std::string& name);
    // Stored size in bytes, -1 for a missing value.
    int GetDataSize(const std::string& name);
    // The text of a text value; empty for a missing or empty value. Raises
    // "'%s' のデータ型が不正です" for a value of another type and
    // "'%s' の取得に失敗しました" when the store cannot be read.
    std::string ReadString(const std::string& name);
    // Raises "'%s' の設定に失敗しました" when the store cannot be changed.
    void WriteString(const std::string& name, const std::string& value);
    // Copies a binary value into `buffer` and returns its size (0 for a
    // missing value). Raises the type error for a text value or a value
    // larger than `bufferSize`, and the read error as ReadString.
    int ReadBinaryData(const std::string& name, void* buffer, int bufferSize);
    void WriteBinaryData(const std::string& name, const void* data, int size);

private:
    std::string Resolve(const std::string& key) const;

    std::string FCurrentPath;
    bool FKeyOpen = false;
};

}  // namespace kt

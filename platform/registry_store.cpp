#include "registry_store.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string_view>
#include <vector>

#include "atomic_file.h"
#include "config_folder.h"
#include "platform/ascii_case.h"

namespace kt {
namespace {

constexpr std::string_view kHeader = "; KalvoraTrindle per-user registry (HKEY_CURRENT_USER)";

std::string Format(const char* pattern, const std::string& name) {
    std::string text(pattern);
    std::size_t at = text.find("%s");
    if (at != std::string::npos) text.replace(at, 2, name);
    return text;
}

// Splits a key path into its names; empty names (doubled or outer "\") drop out.
std::vector<std::string> SplitPath(std::string_view path) {
    std::vector<std::string> parts;
    while (!path.empty()) {
        std::size_t sep = path.find('\\');
        std::string_view part = path.substr(0, sep);
        if (!part.empty()) parts.emplace_back(part);
        path.remove_prefix(sep == std::string_view::npos ? path.size() : sep + 1);
    }
    return parts;
}

std::string JoinPath(const std::vector<std::string>& parts) {
    std::string path;
    for (const std::string& part : parts) {
        if (!path.empty()) path += '\\';
        path += part;
    }
    return path;
}

struct Value {
    std::string name;
    DWORD type = REG_SZ;
    std::string data;  // text without a terminating zero, or the bytes
};

struct Key {
    std::string path;  // below the root, "" for the root itself
    std::vector<Value> values;

    Value* Find(std::string_view name) {
        for (Value& v : values)
            if (SameTextAscii(v.name, name)) return &v;
        return nullptr;
    }
};

// Text inside double quotes with \\, \" and \xHH for control bytes, so any
// name or text, line breaks included, fits on one line.
std::string Escape(std::string_view text) {
    static const char kHex[] = "0123456789abcdef";
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '\\' || c == '"') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c == 0x7F) {
            out += "\\x";
            out += kHex[c >> 4];
            out += kHex[c & 15];
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Reads an Escape()d text at the start of `line` and removes it from there.
std::optional<std::string> Unescape(std::string_view& line) {
    if (line.empty() || line.front() != '"') return std::nullopt;
    std::string out;
    std::size_t i = 1;
    while (i < line.size() && line[i] != '"') {
        if (line[i] != '\\') {
            out += line[i++];
            continue;
        }
        if (i + 1 >= line.size()) return std::nullopt;
        char next = line[i + 1];
        if (next == 'x') {
            if (i + 3 >= line.size()) return std::nullopt;
            int hi = HexDigit(line[i + 2]), lo = HexDigit(line[i + 3]);
            if (hi < 0 || lo < 0) return std::nullopt;
            out += static_cast<char>(hi * 16 + lo);
            i += 4;
        } else {
            out += next;
            i += 2;
        }
    }
    if (i >= line.size()) return std::nullopt;
    line.remove_prefix(i + 1);
    return out;
}

// The whole store: the keys in the order they were created.
struct Store {
    std::vector<Key> keys;

    Key* Find(std::string_view path) {
        std::vector<std::string> want = SplitPath(path);
        for (Key& key : keys) {
            std::vector<std::string> have = SplitPath(key.path);
            if (have.size() != want.size()) continue;
            bool same = true;
            for (std::size_t i = 0; same && i < have.size(); ++i)
                same = SameTextAscii(have[i], want[i]);
            if (same) return &key;
        }
        return nullptr;
    }

    // Creates the key and every missing key above it; true when one was made.
    bool Create(std::string_view path) {
        std::vector<std::string> parts = SplitPath(path);
        bool made = false;
        for (std::size_t n = 0; n <= parts.size(); ++n) {
            std::vector<std::string> head(parts.begin(), parts.begin() + static_cast<long>(n));
            if (Find(JoinPath(head))) continue;
            // Names above keep the case they already have.
            keys.push_back(Key{JoinPath(head), {}});
            made = true;
        }
        return made;
    }

    void Parse(std::string_view text) {
        keys.clear();
        Key* current = nullptr;
        while (!text.empty()) {
            std::size_t nl = text.find('\n');
            std::string_view line = text.substr(0, nl);
            text.remove_prefix(nl == std::string_view::npos ? text.size() : nl + 1);
            if (line.empty() || line.front() == ';') continue;
            if (line.front() == '[') {
                line.remove_prefix(1);
                auto path = Unescape(line);
                current = nullptr;
                if (!path || line != "]") continue;  // a damaged line is passed over
                Create(*path);
                current = Find(*path);
                continue;
            }
            if (!current) continue;
            auto name = Unescape(line);
            if (!name || line.empty() || line.front() != '=') continue;
            line.remove_prefix(1);
            Value value{*name, REG_SZ, {}};
            if (auto text = Unescape(line)) {
                if (!line.empty()) continue;
                value.data = *text;
            } else if (line.substr(0, 4) == "hex(") {
                std::size_t close = line.find("):");
                if (close == std::string_view::npos) continue;
                value.type = static_cast<DWORD>(
                    std::strtoul(std::string(line.substr(4, close - 4)).c_str(), nullptr, 10));
                std::string_view hex = line.substr(close + 2);
                bool good = hex.size() % 2 == 0;
                for (std::size_t i = 0; good && i < hex.size(); i += 2) {
                    int hi = HexDigit(hex[i]), lo = HexDigit(hex[i + 1]);
                    good = hi >= 0 && lo >= 0;
                    value.data += static_cast<char>(hi * 16 + lo);
                }
                if (!good) continue;
            } else {
                continue;
            }
            if (Value* old = current->Find(value.name))
                *old = value;
            else
                current->values.push_back(value);
        }
        if (!Find("")) keys.insert(keys.begin(), Key{"", {}});
    }

    std::string Render() const {
        static const char kHex[] = "0123456789abcdef";
        std::string out(kHeader);
        out += '\n';
        for (const Key& key : keys) {
            out += "\n[" + Escape(key.path) + "]\n";
            for (const Value& value : key.values) {
                out += Escape(value.name) + "=";
                if (value.type == REG_SZ) {
                    out += Escape(value.data);
                } else {
                    out += "hex(" + std::to_string(value.type) + "):";
                    for (unsigned char c : value.data) (out += kHex[c >> 4]) += kHex[c & 15];
                }
                out += '\n';
            }
        }
        return out;
    }
};

// Reads the store; a missing file is an empty store.
bool Load(Store& store) {
    std::string text;
    if (!ReadWholeFile(TRegistry::StoreFileName(), text) && errno != ENOENT) return false;
    store.Parse(text);
    return true;
}

bool Save(const Store& store) {
    std::string file = TRegistry::StoreFileName();
    if (!MakeFolders(file.substr(0, file.rfind('/')), 0700)) return false;
    return WriteFileAtomically(file, store.Render(), 0600);
}

}  // namespace

std::string TRegistry::StoreFileName() { return ProgramConfigFolder() + "/HKEY_CURRENT_USER.reg"; }

std::string TRegistry::Resolve(const std::string& key) const {
    if (!key.empty() && key.front() == '\\') return JoinPath(SplitPath(key));
    if (!FKeyOpen) return JoinPath(SplitPath(key));
    return JoinPath(SplitPath(FCurrentPath + "\\" + key));
}

bool TRegistry::OpenKey(const std::string& key, bool canCreate) {
    std::string path = Resolve(key);
    Store store;
    if (!Load(store)) return false;
    if (Key* found = store.Find(path)) {
        FCurrentPath = found->path;
        FKeyOpen = true;
        return true;
    }
    if (!canCreate) return false;
    store.Create(path);
    if (!Save(store)) return false;
    FCurrentPath = store.Find(path)->path;
    FKeyOpen = true;
    return true;
}

void TRegistry::CloseKey() {
    FCurrentPath.clear();
    FKeyOpen = false;
}

void TRegistry::CreateKey(const std::string& key) {
    std::string path = Resolve(key);
    Store store;
    if (!Load(store)) throw ERegistryException(Format("キー %s の作成に失敗しました", key));
    if (store.Create(path) && !Save(store))
        throw ERegistryException(Format("キー %s の作成に失敗しました", key));
}

bool TRegistry::KeyExists(const std::string& key) {
    Store store;
    return Load(store) && store.Find(Resolve(key)) != nullptr;
}

bool TRegistry::ValueExists(const std::string& name) {
    Store store;
    if (!Load(store)) return false;
    Key* key = store.Find(FCurrentPath);
    return key && key->Find(name);
}

int TRegistry::GetDataSize(const std::string& name) {
    Store store;
    if (!Load(store)) return -1;
    Key* key = store.Find(FCurrentPath);
    Value* value = key ? key->Find(name) : nullptr;
    if (!value) return -1;
    // A text value counts its terminating zero, as the registry does.
    bool text = value->type == REG_SZ || value->type == REG_EXPAND_SZ;
    return static_cast<int>(value->data.size()) + (text ? 1 : 0);
}

std::string TRegistry::ReadString(const std::string& name) {
    Store store;
    if (!Load(store)) throw ERegistryException(Format("'%s' の取得に失敗しました", name));
    Key* key = store.Find(FCurrentPath);
    Value* value = key ? key->Find(name) : nullptr;
    if (!value || value->data.empty()) return {};
    if (value->type != REG_SZ && value->type != REG_EXPAND_SZ)
        throw ERegistryException(Format("'%s' のデータ型が不正です", name));
    return value->data;
}

void TRegistry::WriteString(const std::string& name, const std::string& value) {
    Store store;
    if (!Load(store)) throw ERegistryException(Format("'%s' の設定に失敗しました", name));
    store.Create(FCurrentPath);
    Key* key = store.Find(FCurrentPath);
    if (Value* old = key->Find(name)) {
        old->type = REG_SZ;
        old->data = value;
    } else {
        key->values.push_back(Value{name, REG_SZ, value});
    }
    if (!Save(store)) throw ERegistryException(Format("'%s' の設定に失敗しました", name));
}

int TRegistry::ReadBinaryData(const std::string& name, void* buffer, int bufferSize) {
    Store store;
    if (!Load(store)) throw ERegistryException(Format("'%s' の取得に失敗しました", name));
    Key* key = store.Find(FCurrentPath);
    Value* value = key ? key->Find(name) : nullptr;
    if (!value) return 0;
    if (value->type == REG_SZ || value->type == REG_EXPAND_SZ ||
        value->data.size() > static_cast<std::size_t>(bufferSize < 0 ? 0 : bufferSize))
        throw ERegistryException(Format("'%s' のデータ型が不正です", name));
    if (!value->data.empty()) std::memcpy(buffer, value->data.data(), value->data.size());
    return static_cast<int>(value->data.size());
}

void TRegistry::WriteBinaryData(const std::string& name, const void* data, int size) {
    Store store;
    if (!Load(store)) throw ERegistryException(Format("'%s' の設定に失敗しました", name));
    store.Create(FCurrentPath);
    Key* key = store.Find(FCurrentPath);
    std::string bytes(static_cast<const char*>(data),
                      size > 0 ? static_cast<std::size_t>(size) : 0);
    if (Value* old = key->Find(name)) {
        old->type = REG_BINARY;
        old->data = bytes;
    } else {
        key->values.push_back(Value{name, REG_BINARY, bytes});
    }
    if (!Save(store)) throw ERegistryException(Format("'%s' の設定に失敗しました", name));
}

}  // namespace kt

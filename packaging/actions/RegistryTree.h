// A registry key with its values and every key below it, held in memory and
// turned into text and back. A removal hands the monitor's key, with its
// ports and their settings, to its rollback this way. The keys' security is
// not kept: keys written back inherit it from the key above them, as the keys
// the monitor makes for its ports do.
#pragma once

#include "RegistryKey.h"

#include <windows.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

class RegistryTree {
public:
    // The key below parent and everything below it; nullopt when the key does
    // not exist. Keys and values are held in name order, so the text of an
    // unchanged key is the same on every read. Throws RuntimeError.
    static std::optional<RegistryTree> read(HKEY parent, const std::wstring& path);

    // The tree whose text() this is; throws RuntimeError for any other text.
    static RegistryTree fromText(const std::wstring& text);

    // One line "[path]" per key (the tree's own key first, as "[]"), each
    // followed by one line "name=type:hex bytes" per value; "%", "=", "[",
    // "]" and line breaks in names are written as "%" and two hex digits.
    std::wstring text() const;

    // Creates the key below parent and every key of the tree, and sets every
    // value of the tree. Keys and values there that the tree lacks stay.
    // Throws RuntimeError.
    void write(HKEY parent, const std::wstring& path) const;

private:
    struct Key {
        std::wstring path;  // below the tree's own key, empty for that key
        std::vector<std::pair<std::wstring, RegistryValue>> values;
    };

    RegistryTree() = default;
    void readKey(HKEY key, const std::wstring& path);

    std::vector<Key> keys_;
};

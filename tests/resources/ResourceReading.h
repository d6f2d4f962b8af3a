// Reading the resources and the PE headers of a built library, for the tests
// of the resource deliverables.
#pragma once
#include <windows.h>

#include <cstdint>
#include <set>
#include <string>
#include <vector>

namespace qrxtest {

// A library loaded for the duration of a test; freed on destruction.
class LoadedLibrary {
public:
    // flags as for LoadLibraryExW; throws std::runtime_error if loading fails.
    LoadedLibrary(const std::wstring& path, DWORD flags);
    ~LoadedLibrary();
    LoadedLibrary(const LoadedLibrary&) = delete;
    LoadedLibrary& operator=(const LoadedLibrary&) = delete;
    HMODULE handle() const { return module_; }

private:
    HMODULE module_;
};

// The bytes of one resource in one language; empty if there is none.
std::vector<std::uint8_t> resourceBytes(HMODULE module, LPCWSTR type, LPCWSTR name, WORD language);

// One entry of a library's resource directory. Ordinal types and names are
// written "#n", as the resource functions accept them.
struct ResourceEntry {
    std::wstring type;
    std::wstring name;
    WORD language;
    bool operator<(const ResourceEntry& o) const;
};
std::set<ResourceEntry> listResources(HMODULE module);
std::wstring ordinalName(WORD ordinal);

// Names of the libraries that a library mapped by LoadLibraryW imports, and
// the number of functions it exports.
std::vector<std::string> importedLibraries(HMODULE mappedImage);
DWORD exportedFunctionCount(HMODULE mappedImage);

// Attributes of the requestedExecutionLevel element of a manifest's text;
// an empty string for an attribute that is missing.
struct ExecutionLevel {
    std::string level;
    std::string uiAccess;
};
ExecutionLevel requestedExecutionLevel(const std::string& manifest);

// The entries of a message table (MESSAGE_RESOURCE_DATA), in table order.
struct MessageEntry {
    DWORD id;
    bool unicode;
    std::wstring text;  // without the padding that ends the entry
};
// Throws std::runtime_error when an offset or length points outside the bytes.
std::vector<MessageEntry> parseMessageTable(const std::vector<std::uint8_t>& bytes);

// A dialog template, classic (DLGTEMPLATE) or extended (DLGTEMPLATEEX).
// Strings that are ordinals in the template are written "#n"; the predefined
// window class ordinals are written by their class names.
struct DialogControl {
    int id;
    std::wstring windowClass;
    std::wstring text;
    DWORD style;
    short x, y, cx, cy;
};
struct DialogTemplate {
    bool extended;
    DWORD style;
    short cx, cy;
    std::wstring caption;
    WORD pointSize;  // 0 without DS_SETFONT
    std::wstring fontName;
    std::vector<DialogControl> controls;
};
// Throws std::runtime_error when the bytes end before the template does.
DialogTemplate parseDialogTemplate(const std::vector<std::uint8_t>& bytes);

}  // namespace qrxtest

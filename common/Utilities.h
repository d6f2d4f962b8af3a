// The language resource library, the help file and the event source: the
// steps every module runs at start-up.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

// Base of the DLLs' application objects: holds the loaded resource library.
class Utilities {
public:
    virtual ~Utilities() = default;

    // The user's user-interface language; 1033 when it cannot be had.
    static LANGID userUILanguage();
    // INSTALLDIR of the vendor key + "Help\QRXMH409.chm"; empty without it.
    static std::wstring helpFilePath();

protected:
    // The start-up steps the DLLs share: the language library becomes the
    // module's resources (false, with its last error, when none loads), the
    // event source is registered, the help path stored, and thread
    // notifications are turned off.
    bool startModule(const wchar_t* eventSource);
    // Frees the language library at exit.
    void freeResourceLibrary();

    HMODULE resourceLibrary_ = nullptr;
};

constexpr LANGID kEnglishLanguage = 1033;
constexpr const wchar_t* kVendorKeyPath = L"SOFTWARE\\Velmora\\Prentova Port Monitor";

// "QRXPM" + the language id in decimal + "U.dll".
std::wstring resourceLibraryName(LANGID language);

// The folders a language library is taken from, in order: the folder of the
// running module (the program's own for a program), then the system directory;
// the latter only when it is another folder. Both are absolute: a library is
// never looked for through the PATH search, whose folders may be writable by
// anyone.
std::vector<std::wstring> resourceLibraryFolders();

using LibraryLoader = std::function<HMODULE(const std::wstring& path)>;

// Loads the library of the given language, else the English one (tried once
// when it is another), each name by its full path in every folder in turn;
// null, with the last error of the final attempt, when none loads.
HMODULE loadResourceLibrary(LANGID language, const std::vector<std::wstring>& folders, const LibraryLoader& load);
// Maps a language library as a resource-only image: none of its code runs,
// and its strings, dialogs and icons are read through the handle.
HMODULE mapResourceLibrary(const std::wstring& path);
// The same for the user's language, from resourceLibraryFolders(), mapped by
// mapResourceLibrary.
HMODULE loadResourceLibrary();

// Writes "EventMessageFile" and "TypesSupported" of an existing event-source
// key of the Application log; does nothing when the key is missing.
void registerEventSource(const std::wstring& sourceName);

// Opens the help file at a topic; silent when help is not available.
void showHelpTopic(DWORD topic);

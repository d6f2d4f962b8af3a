// The language resource library, the help file and the event source: the
// steps every module runs at start-up.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

// Base of the DLLs' application objects: holds the loaded resource library.
class Utilities {
public:
    virtual ~Utilities() = default;

    // The user's user-interface language; 1033 when it cannot be had.
    static LANGID userUILanguage();
    // INSTALLDIR of the vendor key + "Help\QRXMH409.chm"; empty without it.
    static std::wstring helpFilePath();

protected:
    HMODULE resourceLibrary_ = nullptr;
};

constexpr LANGID kEnglishLanguage = 1033;
constexpr const wchar_t* kVendorKeyPath = L"SOFTWARE\\Velmora\\Prentova Port Monitor";

// "QRXPM" + the language id in decimal + "U.dll".
std::wstring resourceLibraryName(LANGID language);

using LibraryLoader = std::function<HMODULE(const std::wstring& name)>;

// Loads the library of the given language by its bare name, else the English
// one; null, with the last error of the final attempt, when neither loads.
HMODULE loadResourceLibrary(LANGID language, const LibraryLoader& load);
// The same for the user's language with the system's LoadLibraryW.
HMODULE loadResourceLibrary();

// Writes "EventMessageFile" and "TypesSupported" of an existing event-source
// key of the Application log; does nothing when the key is missing.
void registerEventSource(const std::wstring& sourceName);

// Opens the help file at a topic; silent when help is not available.
void showHelpTopic(DWORD topic);

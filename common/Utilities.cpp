#include "Utilities.h"

#include "EventIds.h"
#include "ModuleState.h"
#include "RegistryKey.h"

LANGID Utilities::userUILanguage() {
    LANGID language = 0;
    if (HMODULE kernel = LoadLibraryW(L"kernel32.dll")) {
        using Query = LANGID(WINAPI*)();
        if (auto query = reinterpret_cast<Query>(GetProcAddress(kernel, "GetUserDefaultUILanguage")))
            language = query();
        FreeLibrary(kernel);
    }
    return language ? language : kEnglishLanguage;
}

std::wstring Utilities::helpFilePath() {
    auto key = RegistryKey::open(HKEY_LOCAL_MACHINE, kVendorKeyPath, KEY_READ);
    if (!key) return {};
    auto installDir = key->readString(L"INSTALLDIR", 520);
    if (!installDir) return {};
    return *installDir + L"Help\\QRXMH409.chm";
}

std::wstring resourceLibraryName(LANGID language) { return L"QRXPM" + std::to_wstring(language) + L"U.dll"; }

HMODULE loadResourceLibrary(LANGID language, const LibraryLoader& load) {
    std::wstring name = resourceLibraryName(language);
    HMODULE library = load(name);
    if (!library) {
        std::wstring english = resourceLibraryName(kEnglishLanguage);
        if (english != name) library = load(english);
    }
    return library;
}

HMODULE loadResourceLibrary() {
    return loadResourceLibrary(Utilities::userUILanguage(),
                               [](const std::wstring& name) { return LoadLibraryW(name.c_str()); });
}

void registerEventSource(const std::wstring& sourceName) {
    auto key = RegistryKey::open(HKEY_LOCAL_MACHINE,
                                 L"SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\" + sourceName,
                                 KEY_SET_VALUE);
    if (!key) return;
    key->setString(L"EventMessageFile", std::wstring(L"%SystemRoot%\\System32\\") + kEventMessageFileName,
                   REG_EXPAND_SZ);
    key->setDword(L"TypesSupported", EVENTLOG_ERROR_TYPE | EVENTLOG_WARNING_TYPE | EVENTLOG_INFORMATION_TYPE);
}

void showHelpTopic(DWORD topic) {
    // The help viewer is loaded only when help is asked for, so that no module
    // depends on it at load time.
    constexpr UINT kHelpContext = 0x000F;
    using HtmlHelp = HWND(WINAPI*)(HWND, LPCWSTR, UINT, DWORD_PTR);
    const std::wstring& path = module::helpFilePath();
    if (path.empty()) return;
    HMODULE viewer = LoadLibraryW(L"hhctrl.ocx");
    if (!viewer) return;
    if (auto htmlHelp = reinterpret_cast<HtmlHelp>(GetProcAddress(viewer, "HtmlHelpW")))
        htmlHelp(nullptr, path.c_str(), kHelpContext, topic);
}

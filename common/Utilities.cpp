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

bool Utilities::startModule(const wchar_t* eventSource) {
    HMODULE library = loadResourceLibrary();
    if (!library) return false;
    resourceLibrary_ = library;
    module::setResources(library);

    registerEventSource(eventSource);
    module::setHelpFilePath(helpFilePath());
    // Thread notifications stay on: the threading library of the C++
    // runtime frees a spooler thread's state when it is told the thread ends.
    return true;
}

void Utilities::freeResourceLibrary() {
    if (resourceLibrary_) FreeLibrary(resourceLibrary_);
    resourceLibrary_ = nullptr;
    module::setResources(nullptr);
}

std::wstring resourceLibraryName(LANGID language) { return L"QRXPM" + std::to_wstring(language) + L"U.dll"; }

namespace {

// The full path of a module's file (the program's for null); empty when it
// cannot be had. A truncated path would name another folder, so the buffer
// grows until the whole path fits.
std::wstring moduleFilePath(HMODULE module) {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD length = GetModuleFileNameW(module, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return {};
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

std::wstring systemDirectory() {
    UINT size = GetSystemDirectoryW(nullptr, 0);
    if (size == 0) return {};
    std::wstring folder(size, L'\0');
    UINT length = GetSystemDirectoryW(folder.data(), size);
    if (length == 0 || length >= size) return {};
    folder.resize(length);
    return folder;
}

bool sameFolder(const std::wstring& a, const std::wstring& b) {
    return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()), TRUE) ==
           CSTR_EQUAL;
}

}  // namespace

std::vector<std::wstring> resourceLibraryFolders() {
    std::vector<std::wstring> folders;
    std::wstring modulePath = moduleFilePath(module::instanceHandle());
    size_t slash = modulePath.find_last_of(L'\\');
    if (slash != std::wstring::npos) folders.push_back(modulePath.substr(0, slash));
    std::wstring system = systemDirectory();
    if (!system.empty() && (folders.empty() || !sameFolder(folders.front(), system))) folders.push_back(system);
    return folders;
}

HMODULE loadResourceLibrary(LANGID language, const std::vector<std::wstring>& folders, const LibraryLoader& load) {
    std::vector<std::wstring> names{resourceLibraryName(language)};
    std::wstring english = resourceLibraryName(kEnglishLanguage);
    if (english != names.front()) names.push_back(english);

    DWORD error = ERROR_MOD_NOT_FOUND;
    for (const std::wstring& name : names) {
        for (const std::wstring& folder : folders) {
            if (HMODULE library = load(folder + L"\\" + name)) return library;
            error = GetLastError();
        }
    }
    SetLastError(error);
    return nullptr;
}

HMODULE mapResourceLibrary(const std::wstring& path) {
    return LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_IMAGE_RESOURCE | LOAD_LIBRARY_AS_DATAFILE);
}

HMODULE loadResourceLibrary() {
    return loadResourceLibrary(Utilities::userUILanguage(), resourceLibraryFolders(), mapResourceLibrary);
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
    // By full path: a bare name would be searched for through PATH.
    std::wstring system = systemDirectory();
    if (system.empty()) return;
    HMODULE viewer = LoadLibraryW((system + L"\\hhctrl.ocx").c_str());
    if (!viewer) return;
    if (auto htmlHelp = reinterpret_cast<HtmlHelp>(GetProcAddress(viewer, "HtmlHelpW")))
        htmlHelp(nullptr, path.c_str(), kHelpContext, topic);
}

// Installs the deliverables on this machine (a Wine prefix or Windows):
// copies them into the system directory and the help file into the
// installation directory's "Help" folder, creates the vendor and event-source
// keys and registers the monitor with the spooler. "uninstall" undoes it.
//
//   qrx-install install <folder holding the deliverables>
//   qrx-install uninstall
#include "EventIds.h"
#include "MonitorRegistration.h"
#include "RegistryKey.h"
#include "RuntimeError.h"
#include "Utilities.h"

#include <windows.h>
#include <shlobj.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace {

const std::vector<std::wstring> kDeliverables = {L"QRXServerDll.dll", L"QRXUIDll.dll",   L"QRXPromptApp.exe",
                                                 L"QRXPM1033U.dll",   L"QRXPM1036U.dll", kEventMessageFileName,
                                                 L"qrxport.exe"};
constexpr const wchar_t* kHelpFile = L"QRXMH409.chm";
constexpr const wchar_t* kEventLogKey = L"SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\";

class InstallError {
public:
    InstallError(std::wstring what, DWORD code) : what_(std::move(what)), code_(code) {}
    void print() const { std::fwprintf(stderr, L"qrx-install: %ls failed (error %lu)\n", what_.c_str(), code_); }

private:
    std::wstring what_;
    DWORD code_;
};

std::wstring systemDirectory() {
    wchar_t path[MAX_PATH];
    UINT length = GetSystemDirectoryW(path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) throw InstallError(L"GetSystemDirectory", GetLastError());
    return path;
}

bool fileExists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::wstring installDirectory() {
    wchar_t programFiles[MAX_PATH];
    HRESULT result = SHGetFolderPathW(nullptr, CSIDL_PROGRAM_FILES, nullptr, SHGFP_TYPE_CURRENT, programFiles);
    if (FAILED(result)) throw InstallError(L"SHGetFolderPath", static_cast<DWORD>(result));
    return std::wstring(programFiles) + L"\\Velmora\\Prentova Port Monitor\\";
}

void createKeys() {
    std::wstring dir = installDirectory();
    int made = SHCreateDirectoryExW(nullptr, (dir + L"Help").c_str(), nullptr);
    if (made != ERROR_SUCCESS && made != ERROR_ALREADY_EXISTS && made != ERROR_FILE_EXISTS)
        throw InstallError(L"creating " + dir, static_cast<DWORD>(made));

    LONG status = 0;
    auto vendor = RegistryKey::create(HKEY_LOCAL_MACHINE, kVendorKeyPath, KEY_SET_VALUE, &status);
    if (!vendor) throw InstallError(L"creating the vendor key", static_cast<DWORD>(status));
    if ((status = vendor->setString(L"INSTALLDIR", dir)) != ERROR_SUCCESS)
        throw InstallError(L"writing INSTALLDIR", static_cast<DWORD>(status));

    for (const wchar_t* source : {kServerEventSource, kUIEventSource}) {
        auto key = RegistryKey::create(HKEY_LOCAL_MACHINE, std::wstring(kEventLogKey) + source, KEY_SET_VALUE,
                                       &status);
        if (!key) throw InstallError(std::wstring(L"creating the event source ") + source, static_cast<DWORD>(status));
        key->setString(L"EventMessageFile", std::wstring(L"%SystemRoot%\\System32\\") + kEventMessageFileName,
                       REG_EXPAND_SZ);
        key->setDword(L"TypesSupported", EVENTLOG_ERROR_TYPE | EVENTLOG_WARNING_TYPE | EVENTLOG_INFORMATION_TYPE);
    }
}

// Copies a file of the deliverables folder, when it is there, into a folder.
void copyDeliverable(const std::wstring& from, const std::wstring& name, const std::wstring& to) {
    std::wstring source = from + L"\\" + name;
    if (!fileExists(source)) return;
    if (!CopyFileW(source.c_str(), (to + name).c_str(), FALSE)) throw InstallError(L"copying " + name, GetLastError());
    std::wprintf(L"installed %ls\n", (to + name).c_str());
}

void copyDeliverables(const std::wstring& from) {
    std::wstring system = systemDirectory() + L"\\";
    for (const std::wstring& name : kDeliverables) copyDeliverable(from, name, system);
    copyDeliverable(from, kHelpFile, installDirectory() + L"Help\\");
}

void registerMonitor() {
    std::wprintf(monitorRegistration::add() ? L"registered the monitor \"%ls\"\n"
                                            : L"the monitor \"%ls\" was registered already\n",
                 kMonitorName);
}

void install(const std::wstring& from) {
    if (!fileExists(from + L"\\" + kMonitorDll)) throw InstallError(L"finding " + from + L"\\" + kMonitorDll, 2);
    createKeys();
    copyDeliverables(from);
    registerMonitor();
}

void uninstall() {
    monitorRegistration::remove();
    std::wstring dir = systemDirectory();
    for (const std::wstring& name : kDeliverables) DeleteFileW((dir + L"\\" + name).c_str());
    std::wstring install = installDirectory();
    DeleteFileW((install + L"Help\\" + kHelpFile).c_str());
    RemoveDirectoryW((install + L"Help").c_str());
    RemoveDirectoryW(install.c_str());
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, kVendorKeyPath);
    for (const wchar_t* source : {kServerEventSource, kUIEventSource})
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, (std::wstring(kEventLogKey) + source).c_str());
    std::wprintf(L"uninstalled\n");
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    try {
        std::wstring command = argc > 1 ? argv[1] : L"";
        if (command == L"install" && argc == 3) {
            install(argv[2]);
        } else if (command == L"uninstall" && argc == 2) {
            uninstall();
        } else {
            std::fwprintf(stderr, L"usage: qrx-install install <folder> | uninstall\n");
            return 2;
        }
        return 0;
    } catch (const InstallError& error) {
        error.print();
        return 1;
    } catch (const RuntimeError& error) {
        std::fwprintf(stderr, L"qrx-install: %ls\n", error.message().c_str());
        return 1;
    }
}

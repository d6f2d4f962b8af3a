#include "OrdinaryRegistry.h"

namespace {

HKEY asKey(HANDLE handle) { return static_cast<HKEY>(handle); }

LONG WINAPI createKey(HANDLE parent, LPCWSTR subKey, DWORD options, REGSAM access, PSECURITY_ATTRIBUTES security,
                      PHANDLE result, PDWORD disposition, HANDLE) {
    HKEY key = nullptr;
    LONG status = RegCreateKeyExW(asKey(parent), subKey, 0, nullptr, options, access, security, &key, disposition);
    if (status == ERROR_SUCCESS) *result = key;
    return status;
}

LONG WINAPI openKey(HANDLE parent, LPCWSTR subKey, REGSAM access, PHANDLE result, HANDLE) {
    HKEY key = nullptr;
    LONG status = RegOpenKeyExW(asKey(parent), subKey, 0, access, &key);
    if (status == ERROR_SUCCESS) *result = key;
    return status;
}

LONG WINAPI closeKey(HANDLE key, HANDLE) { return RegCloseKey(asKey(key)); }

LONG WINAPI deleteKey(HANDLE parent, LPCWSTR subKey, HANDLE) { return RegDeleteKeyW(asKey(parent), subKey); }

LONG WINAPI enumKey(HANDLE key, DWORD index, LPWSTR name, PDWORD nameChars, PFILETIME written, HANDLE) {
    return RegEnumKeyExW(asKey(key), index, name, nameChars, nullptr, nullptr, nullptr, written);
}

LONG WINAPI queryInfoKey(HANDLE key, PDWORD subKeys, PDWORD maxSubKeyChars, PDWORD values, PDWORD maxValueNameChars,
                         PDWORD maxValueBytes, PDWORD securityBytes, PFILETIME written, HANDLE) {
    return RegQueryInfoKeyW(asKey(key), nullptr, nullptr, nullptr, subKeys, maxSubKeyChars, nullptr, values,
                            maxValueNameChars, maxValueBytes, securityBytes, written);
}

LONG WINAPI setValue(HANDLE key, LPCWSTR name, DWORD type, const BYTE* data, DWORD size, HANDLE) {
    return RegSetValueExW(asKey(key), name, 0, type, data, size);
}

LONG WINAPI deleteValue(HANDLE key, LPCWSTR name, HANDLE) { return RegDeleteValueW(asKey(key), name); }

LONG WINAPI enumValue(HANDLE key, DWORD index, LPWSTR name, PDWORD nameChars, PDWORD type, PBYTE data, PDWORD size,
                      HANDLE) {
    return RegEnumValueW(asKey(key), index, name, nameChars, nullptr, type, data, size);
}

LONG WINAPI queryValue(HANDLE key, LPCWSTR name, PDWORD type, PBYTE data, PDWORD size, HANDLE) {
    return RegQueryValueExW(asKey(key), name, nullptr, type, data, size);
}

const MONITORREG functions = {sizeof(MONITORREG), createKey, openKey,  closeKey,  deleteKey, enumKey,
                              queryInfoKey,       setValue,  deleteValue, enumValue, queryValue};

}  // namespace

const MONITORREG& ordinaryRegistryFunctions() { return functions; }

bool spoolerRegistryIsMissing(const MONITORINIT& init) {
    if (!init.pMonitorReg || !init.pMonitorReg->fpOpenKey) return true;
    HANDLE key = nullptr;
    LONG status = init.pMonitorReg->fpOpenKey(init.hckRegistryRoot, L"Ports", KEY_READ, &key, init.hSpooler);
    if (status == ERROR_SUCCESS) init.pMonitorReg->fpCloseKey(key, init.hSpooler);
    return status == ERROR_CALL_NOT_IMPLEMENTED;
}

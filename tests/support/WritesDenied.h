// A key of the machine that the user of this process (and of the programs
// it starts) may read but not change, while the object lives.
#pragma once

#include <windows.h>
#include <sddl.h>

#include <string>
#include <vector>

namespace qrxtest {

class WritesDenied {
public:
    explicit WritesDenied(const std::wstring& path) {
        RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, READ_CONTROL | WRITE_DAC, &key_);
        DWORD size = static_cast<DWORD>(former_.size());
        RegGetKeySecurity(key_, DACL_SECURITY_INFORMATION, former_.data(), &size);
        HANDLE token = nullptr;
        OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token);
        BYTE user[256];
        GetTokenInformation(token, TokenUser, user, sizeof user, &size);
        CloseHandle(token);
        wchar_t* sid = nullptr;
        ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(user)->User.Sid, &sid);
        PSECURITY_DESCRIPTOR denying = nullptr;
        ConvertStringSecurityDescriptorToSecurityDescriptorW(
            (L"D:(D;;0x0006;;;" + std::wstring(sid) + L")(A;;KA;;;WD)").c_str(), SDDL_REVISION_1, &denying, nullptr);
        RegSetKeySecurity(key_, DACL_SECURITY_INFORMATION, denying);
        LocalFree(denying);
        LocalFree(sid);
    }
    ~WritesDenied() {
        RegSetKeySecurity(key_, DACL_SECURITY_INFORMATION, former_.data());
        RegCloseKey(key_);
    }

private:
    HKEY key_ = nullptr;
    std::vector<BYTE> former_ = std::vector<BYTE>(4096);
};

}  // namespace qrxtest

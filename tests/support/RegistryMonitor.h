// A monitor initialisation for tests: its registry functions are those of the
// ordinary registry, rooted in a fresh key of the current user that is
// removed afterwards; single calls can be made to fail.
#pragma once

#include "MonitorHandle.h"

#include <map>
#include <string>

namespace qrxtest {

enum class RegistryCall { CreateKey, OpenKey, DeleteKey, EnumKey, SetValue, QueryValue };

class RegistryMonitor {
public:
    RegistryMonitor();
    ~RegistryMonitor();
    RegistryMonitor(const RegistryMonitor&) = delete;
    RegistryMonitor& operator=(const RegistryMonitor&) = delete;

    MonitorHandle& handle() { return handle_; }
    HKEY root() const { return root_; }
    // Windows path of the root below HKEY_CURRENT_USER.
    const std::wstring& rootPath() const { return rootPath_; }

    // The next call of that function returns the status without doing anything.
    void failNext(RegistryCall call, LONG status);
    // Open keys handed out and not yet closed.
    int openKeys() const;

private:
    std::wstring rootPath_;
    HKEY root_ = nullptr;
    MONITORREG registry_{};
    MonitorHandle handle_{};
};

}  // namespace qrxtest

// The custom actions of the installer packages, called by Windows Installer
// with the session's handle:
//   CheckRemoval        immediate, first thing in a removal, before anything
//                       changes. When the removal is part of an upgrade (another
//                       product of the same family is installed, or Windows
//                       Installer says so) it sets QrxKeepMonitor, so that the
//                       registration and the ports stay. Otherwise it refuses,
//                       with the package's QrxRemovalRefused text, while a
//                       printer prints to a port of the monitor.
//   StartSpooler        deferred, as the system, first in an installation,
//                       upgrade or repair, before anything changes: starts a
//                       stopped Print Spooler service and waits for it; a
//                       disabled one, or one that does not start, fails the
//                       installation with a message that says what to do.
//   SaveMonitorForRollback
//                       immediate, in a removal without QrxKeepMonitor: puts the
//                       monitor's key with every port and setting into the data
//                       of RollbackUnregisterMonitor.
//   UnregisterMonitor   deferred, as the system, first in a removal without
//                       QrxKeepMonitor: removes the registration, and with it
//                       the ports.
//   RollbackUnregisterMonitor
//                       its rollback: writes back the saved ports and
//                       settings, then registers the monitor again.
//   RegisterMonitor     deferred, as the system, after the files are in place:
//                       registers the monitor with the spooler.
//   RollbackRegisterMonitor
//                       its rollback, scheduled only when the monitor was not
//                       registered before: removes the registration again.
// With the Print Spooler service stopped, a removal's actions work on the
// monitor's registry key, which the spooler reads when it starts
// (MonitorRegistration.h); an installation starts the service first.
// Under Wine the removal of the older product in an upgrade runs without
// UPGRADINGPRODUCTCODE, and only after the newer one is installed does it
// tell an upgrade from a removal: the packages remove the older product
// after InstallFinalize.
#include "MonitorRegistration.h"
#include "RuntimeError.h"
#include "SpoolerService.h"

#include <windows.h>
#include <msi.h>
#include <msiquery.h>

#include <exception>
#include <string>

namespace {

// The installation session a custom action runs in.
class InstallSession {
public:
    explicit InstallSession(MSIHANDLE handle) : handle_(handle) {}

    std::wstring property(const wchar_t* name) const {
        DWORD size = 0;
        wchar_t none[1] = L"";
        if (MsiGetPropertyW(handle_, name, none, &size) != ERROR_MORE_DATA) return L"";
        std::wstring value(++size, L'\0');
        if (MsiGetPropertyW(handle_, name, &value[0], &size) != ERROR_SUCCESS) return L"";
        value.resize(size);
        return value;
    }

    void setProperty(const wchar_t* name, const std::wstring& value) const {
        UINT status = MsiSetPropertyW(handle_, name, value.c_str());
        if (status != ERROR_SUCCESS) throw RuntimeError(std::wstring(L"MsiSetProperty ") + name + L" failed", status);
    }

    // A message to the log, and for errors also to the user where there is a user interface.
    void post(INSTALLMESSAGE kind, const std::wstring& text) const {
        PMSIHANDLE record = MsiCreateRecord(1);
        MsiRecordSetStringW(record, 0, L"[1]");
        MsiRecordSetStringW(record, 1, text.c_str());
        MsiProcessMessage(handle_, kind, record);
    }

    // A template of the package with [1] filled in.
    std::wstring format(const std::wstring& pattern, const std::wstring& insert) const {
        PMSIHANDLE record = MsiCreateRecord(1);
        MsiRecordSetStringW(record, 0, pattern.c_str());
        MsiRecordSetStringW(record, 1, insert.c_str());
        DWORD size = 0;
        wchar_t none[1] = L"";
        if (MsiFormatRecordW(handle_, record, none, &size) != ERROR_MORE_DATA) return pattern;
        std::wstring text(++size, L'\0');
        MsiFormatRecordW(handle_, record, &text[0], &size);
        text.resize(size);
        return text;
    }

    // Another product with this package's upgrade code is installed.
    bool anotherVersionInstalled() const {
        const std::wstring upgradeCode = property(L"UpgradeCode"), self = property(L"ProductCode");
        wchar_t product[39];
        for (DWORD index = 0; MsiEnumRelatedProductsW(upgradeCode.c_str(), 0, index, product) == ERROR_SUCCESS;
             ++index)
            if (_wcsicmp(product, self.c_str()) != 0) return true;
        return false;
    }

private:
    MSIHANDLE handle_;
};

const INSTALLMESSAGE kErrorMessage = INSTALLMESSAGE(INSTALLMESSAGE_ERROR | MB_OK | MB_ICONERROR);

// Runs an action that returns what it did, for the log; a RuntimeError fails
// the installation with its message.
template <class Action>
UINT run(MSIHANDLE handle, Action action) {
    InstallSession session(handle);
    try {
        session.post(INSTALLMESSAGE_INFO, action(session));
        return ERROR_SUCCESS;
    } catch (const RuntimeError& error) {
        session.post(kErrorMessage, error.message());
    } catch (const std::exception&) {
        session.post(kErrorMessage, std::wstring(kMonitorName) + L": out of memory");
    }
    return ERROR_INSTALL_FAILURE;
}

}  // namespace

extern "C" UINT __stdcall CheckRemoval(MSIHANDLE handle) {
    return run(handle, [](const InstallSession& session) -> std::wstring {
        if (!session.property(L"UPGRADINGPRODUCTCODE").empty() || session.anotherVersionInstalled()) {
            session.setProperty(L"QrxKeepMonitor", L"1");
            return L"an upgrade: the monitor's registration and its ports stay";
        }
        std::wstring printers;
        for (const std::wstring& printer : monitorRegistration::printersOnItsPorts())
            printers += (printers.empty() ? L"" : L", ") + printer;
        if (!printers.empty())
            throw RuntimeError(session.format(session.property(L"QrxRemovalRefused"), printers), ERROR_INSTALL_FAILURE);
        return L"no printer prints to a port of the monitor";
    });
}

extern "C" UINT __stdcall UnregisterMonitor(MSIHANDLE handle) {
    return run(handle, [](const InstallSession&) -> std::wstring {
        return monitorRegistration::remove() ? L"removed the monitor's registration and its ports"
                                             : L"the monitor was not registered with the spooler";
    });
}

extern "C" UINT __stdcall SaveMonitorForRollback(MSIHANDLE handle) {
    return run(handle, [](const InstallSession& session) -> std::wstring {
        const std::wstring saved = monitorRegistration::savedState();
        session.setProperty(L"RollbackUnregisterMonitor", saved);
        return saved.empty() ? L"the monitor is not registered: a rollback has nothing to restore"
                             : L"saved the monitor's ports and their settings for a rollback";
    });
}

extern "C" UINT __stdcall RollbackUnregisterMonitor(MSIHANDLE handle) {
    return run(handle, [](const InstallSession& session) -> std::wstring {
        const std::wstring saved = session.property(L"CustomActionData");
        monitorRegistration::restore(saved);
        return saved.empty() ? L"nothing was saved to restore"
                             : L"wrote back the monitor's ports and their settings and registered it again";
    });
}

extern "C" UINT __stdcall StartSpooler(MSIHANDLE handle) {
    return run(handle, [](const InstallSession&) { return startSpooler(); });
}

extern "C" UINT __stdcall RegisterMonitor(MSIHANDLE handle) {
    return run(handle, [](const InstallSession&) -> std::wstring {
        return monitorRegistration::add() ? L"registered the monitor with the spooler"
                                          : L"the monitor was registered with the spooler already";
    });
}

extern "C" UINT __stdcall RollbackRegisterMonitor(MSIHANDLE handle) {
    return run(handle, [](const InstallSession&) -> std::wstring {
        return monitorRegistration::remove() ? L"removed the monitor's registration again"
                                             : L"the monitor was not registered with the spooler";
    });
}

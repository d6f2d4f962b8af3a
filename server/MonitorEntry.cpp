#include "MonitorEntry.h"

#include "OrdinaryRegistry.h"

#include "ErrorBuilders.h"
#include "JobEntry.h"
#include "Port.h"
#include "PortInfoBuffer.h"
#include "PortStore.h"
#include "ResourceIds.h"
#include "ResourceStrings.h"
#include "ServerEntryGuard.h"
#include "XcvEntry.h"

namespace entry {

namespace {

MonitorHandle& monitorOf(HANDLE handle) { return *static_cast<MonitorHandle*>(handle); }

// A port list that cannot be read because the path is bad is not worth an
// event; every other failure is logged.
void handlePortListError(const RuntimeError& error) {
    if (error.code() == ERROR_BAD_PATHNAME) return;
    reportAndSetLastError(error);
}

}  // namespace

BOOL WINAPI enumPorts(HANDLE monitor, LPWSTR serverName, DWORD level, LPBYTE ports, DWORD size, LPDWORD needed,
                      LPDWORD returned) {
    return guardEntry(
        [&]() -> BOOL {
            if (!monitor || !needed || !returned) {
                SetLastError(ERROR_INVALID_PARAMETER);
                return FALSE;
            }
            if (!PortInfoBuffer::supportsLevel(level)) {
                SetLastError(ERROR_INVALID_LEVEL);
                throwPortListError(level, ERROR_INVALID_LEVEL);
            }
            PortInfoBuffer buffer(level, ports, size);
            if (!serverName) {
                std::wstring monitorName = loadResourceString(IDS_MONITOR_NAME);
                std::wstring description = loadResourceString(IDS_PORT_DESCRIPTION);
                for (const std::wstring& name : PortStore(monitorOf(monitor)).listPorts())
                    buffer.add(name, monitorName, description);
            }
            *needed = buffer.bytesNeeded();
            *returned = buffer.recordsWritten();
            if (buffer.bytesNeeded() > (ports ? size : 0)) {
                SetLastError(ERROR_INSUFFICIENT_BUFFER);
                return FALSE;
            }
            return TRUE;
        },
        handlePortListError);
}

BOOL WINAPI openPort(HANDLE monitor, LPWSTR portName, PHANDLE port) {
    return guardEntry([&]() -> BOOL {
        if (!monitor || !portName || !port) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
        *port = new Port(portName, monitorOf(monitor));
        return TRUE;
    });
}

BOOL WINAPI readPort(HANDLE port, LPBYTE, DWORD, LPDWORD read) {
    if (!port) {
        SetLastError(ERROR_UNKNOWN_PORT);
        return FALSE;
    }
    if (read) *read = 0;
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return FALSE;
}

BOOL WINAPI closePort(HANDLE port) {
    return guardEntry([&]() -> BOOL {
        if (!port) {
            SetLastError(ERROR_UNKNOWN_PORT);
            return FALSE;
        }
        delete static_cast<Port*>(port);
        return TRUE;
    });
}

BOOL WINAPI xcvOpenPort(HANDLE monitor, LPCWSTR, ACCESS_MASK grantedAccess, PHANDLE xcv) {
    return guardEntry([&]() -> BOOL {
        if (!monitor || !xcv) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
        *xcv = new XcvHandle{grantedAccess, static_cast<MonitorHandle*>(monitor), std::nullopt};
        return TRUE;
    });
}

BOOL WINAPI xcvClosePort(HANDLE xcv) {
    delete static_cast<XcvHandle*>(xcv);
    return TRUE;
}

VOID WINAPI shutdown(HANDLE monitor) {
    if (!monitor) return;
    stopWaitingJobs(monitorOf(monitor));
    delete static_cast<MonitorHandle*>(monitor);
}

namespace {

// The ports then live where a spooler would keep them, below the monitor's
// key in the ordinary registry.
void useOrdinaryRegistry(MonitorHandle& monitor) {
    monitor.ownRoot = RegistryKey::create(HKEY_LOCAL_MACHINE, kMonitorRootPath, KEY_ALL_ACCESS);
    monitor.init.hckRegistryRoot = monitor.ownRoot ? monitor.ownRoot->handle() : nullptr;
    monitor.init.pMonitorReg = const_cast<PMONITORREG>(&ordinaryRegistryFunctions());
}

MONITOR2 makeMonitorTable() {
    MONITOR2 table{};
    table.cbSize = kMonitorTableSize;
    table.pfnEnumPorts = enumPorts;
    table.pfnOpenPort = openPort;
    table.pfnStartDocPort = startDocPort;
    table.pfnWritePort = writePort;
    table.pfnEndDocPort = endDocPort;
    table.pfnReadPort = readPort;
    table.pfnClosePort = closePort;
    table.pfnXcvOpenPort = xcvOpenPort;
    table.pfnXcvDataPort = xcvDataPort;
    table.pfnXcvClosePort = xcvClosePort;
    table.pfnShutdown = shutdown;
    return table;
}

const MONITOR2 monitorTable = makeMonitorTable();

}  // namespace

}  // namespace entry

extern "C" LPMONITOR2 WINAPI InitializePrintMonitor2(PMONITORINIT init, PHANDLE monitor) {
    try {
        if (!monitor) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return nullptr;
        }
        auto* handle = new MonitorHandle{};
        if (init) handle->init = *init;
        if (spoolerRegistryIsMissing(handle->init)) entry::useOrdinaryRegistry(*handle);
        *monitor = handle;
        return const_cast<LPMONITOR2>(&entry::monitorTable);
    } catch (...) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
}

#include "MonitorPorts.h"

#include "CommandMessages.h"
#include "ResourceIds.h"
#include "ResourceStrings.h"
#include "XcvClient.h"

PortPresence portPresence(XcvChannel& channel, const std::wstring& portName) {
    DWORD status = channel.request(L"PortExists", portName, false);
    if (status == ERROR_SUCCESS) return PortPresence::None;
    if (status != IDS_PORT_EXISTS) throw commandFailure(status, 0);
    bool found = channel.call(L"GetHostName", portName, false).status != ERROR_FILE_NOT_FOUND;
    return found ? PortPresence::Monitor : PortPresence::OtherMonitor;
}

PortRecord readPort(XcvChannel& channel, const std::wstring& portName) {
    PortRecord port(portName);
    querySettings(channel, port.settings);
    queryRetryMinutes(channel, port.settings);
    queryOptions(channel, port.options);
    return port;
}

void addWholePort(XcvChannel& channel, const PortSettings& settings, const PortOptions* options) {
    const std::wstring& port = settings.portName;
    channel.perform(L"AddPort", port);
    try {
        updateSettings(channel, settings);
        // A port that keeps the default waiting time has none stored, and
        // follows the default.
        if (settings.retryMinutes != PortSettings::kDefaultRetryMinutes) {
            PortChange waiting;
            waiting.addRetryMinutes(settings, settings);
            waiting.send(channel);
        }
        if (options) updateOptions(channel, *options);
    } catch (const RuntimeError& failure) {
        // Nothing half-made stays behind: the new port goes again.
        std::wstring outcome = loadResourceString(IDS_PORT_DELETED);
        try {
            channel.perform(L"DeletePort", port);
        } catch (const RuntimeError& deleteFailure) {
            outcome =
                fillTemplate(loadResourceString(IDS_CALL_FAILED), L"DeletePort") + L"\n" + describe(deleteFailure);
        }
        throw RuntimeError(describe(failure) + L"\n" + outcome, 0);
    }
}

void replacePort(XcvChannel& channel, const PortRecord& port) {
    const PortRecord before = readPort(channel, port.settings.portName);
    PortChange change;
    change.add(before.settings, port.settings);
    change.addRetryMinutes(before.settings, port.settings);
    change.add(before.options, port.options);
    change.send(channel);
}

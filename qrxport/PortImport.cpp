#include "PortImport.h"

#include "CommandMessages.h"
#include "MonitorPorts.h"
#include "ResourceIds.h"
#include "ResourceStrings.h"
#include "SpoolerPorts.h"

#include <algorithm>
#include <ostream>

size_t PortImport::run(const std::vector<PortRecord>& ports, bool replace, std::wostream& out) {
    const std::vector<bool> existing = existingPorts(ports);
    size_t failed = 0;
    for (size_t i = 0; i < ports.size(); ++i) {
        const std::wstring& name = ports[i].settings.portName;
        if (existing[i] && !replace) {
            out << L"Port " << name << L" kept: it exists already (--replace overwrites it).\n";
            ++failed;
            continue;
        }
        try {
            if (existing[i]) {
                replacePort(channel_, ports[i]);
            } else {
                addWholePort(channel_, ports[i].settings, &ports[i].options);
            }
            out << L"Port " << name << (existing[i] ? L" replaced.\n" : L" added.\n");
        } catch (const RuntimeError& failure) {
            out << L"Port " << name << L" not imported: " << describe(failure) << L"\n";
            ++failed;
        }
    }
    return failed;
}

std::vector<bool> PortImport::existingPorts(const std::vector<PortRecord>& ports) {
    std::vector<bool> existing;
    std::wstring problems;
    for (size_t i = 0; i < ports.size(); ++i) {
        const std::wstring& name = ports[i].settings.portName;
        const std::wstring where = L"ports[" + std::to_wstring(i) + L"] \"" + name + L"\" name: ";
        const PortPresence presence = portPresence(channel_, name);
        // A remote spooler does not list the monitor's ports: there the
        // letter case cannot be compared.
        auto listed = std::find_if(monitorPorts_.begin(), monitorPorts_.end(),
                                   [&](const std::wstring& other) { return samePortName(other.c_str(), name); });
        if (presence == PortPresence::OtherMonitor) {
            problems +=
                where + fillTemplate(loadResourceString(IDS_PORT_EXISTS), name) + L" It is another monitor's port.\n";
        } else if (presence == PortPresence::Monitor && listed != monitorPorts_.end() && *listed != name) {
            problems += where + L"the monitor has this port as \"" + *listed +
                        L"\" (port names are the same in any letter case)\n";
        }
        existing.push_back(presence == PortPresence::Monitor);
    }
    if (!problems.empty()) throw RuntimeWarning(messageLines(problems));
    return existing;
}

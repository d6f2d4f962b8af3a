// What qrxport import does with a document's ports once the document has
// been read and checked.
#pragma once

#include "PortDocument.h"

#include <iosfwd>
#include <string>
#include <vector>

class XcvChannel;

class PortImport {
public:
    // The channel to the monitor and the names of its ports as the spooler
    // lists them.
    PortImport(XcvChannel& channel, std::vector<std::wstring> monitorPorts)
        : channel_(channel), monitorPorts_(std::move(monitorPorts)) {}

    // Refuses, before anything changes, names the machine cannot take: a
    // port of another monitor, or one of the monitor's in another letter
    // case (a RuntimeWarning naming each, one a line). Then adds each port
    // whole, or replaces an existing one whole when asked (else keeps it);
    // a port that fails stays as it was and the next ones go on. One line a
    // port to out. Answers how many ports were not imported.
    size_t run(const std::vector<PortRecord>& ports, bool replace, std::wostream& out);

private:
    // For each port, whether the monitor has it already.
    std::vector<bool> existingPorts(const std::vector<PortRecord>& ports);

    XcvChannel& channel_;
    const std::vector<std::wstring> monitorPorts_;
};

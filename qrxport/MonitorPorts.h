// A port of the monitor over one channel: asked after, read whole, added
// whole or changed whole. A write that fails leaves the port as it was (for
// an added port: not there), or says what could not be undone.
#pragma once

#include "PortDocument.h"

class XcvChannel;

enum class PortPresence { None, Monitor, OtherMonitor };

// Whether the spooler knows a port of that name, in any letter case
// ("PortExists"), and whether the monitor keeps it: it does not find the
// settings of another monitor's port. Asked over the channel, so that it
// holds for the spooler of another machine too. Raises commandFailure.
PortPresence portPresence(XcvChannel& channel, const std::wstring& portName);

// Its settings and options, as the monitor answers them.
PortRecord readPort(XcvChannel& channel, const std::wstring& portName);

// "AddPort", then the settings and, when given, the options. When a write
// fails the new port is deleted again; the RuntimeError raised then says so,
// or why the port could not be deleted.
void addWholePort(XcvChannel& channel, const PortSettings& settings, const PortOptions* options);

// Every setting and option of an existing port as the record says, as one
// change (PortChange): when a write fails, what was written is put back.
void replacePort(XcvChannel& channel, const PortRecord& port);

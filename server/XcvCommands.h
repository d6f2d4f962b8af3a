// The monitor's transceive command set: the one table that names every
// command the UI library may send, how it reads its input, which value of
// the port it works on, how it answers and what carries it out.
#pragma once

#include "MonitorHandle.h"
#include "XcvAnswer.h"
#include "XcvInput.h"

#include <cstddef>

// One command being carried out.
struct XcvCall {
    const MonitorHandle& monitor;
    XcvArguments arguments;
    // The command's port value; nullptr for the commands without one.
    const wchar_t* valueName;
    XcvAnswer& answer;
    // The printer list the call before on the channel kept, taken from it;
    // a command that keeps one for the next call puts it into keptList, and
    // any other command so forgets it.
    std::optional<KeptPrinterList>& previousList;
    std::optional<KeptPrinterList>& keptList;
};

using XcvHandler = DWORD (*)(const XcvCall& call);

struct XcvCommand {
    const wchar_t* name;
    XcvInputShape input;
    const wchar_t* valueName;
    XcvAnswerKind answer;
    XcvHandler handler;
};

struct XcvCommandTable {
    const XcvCommand* begin() const { return first; }
    const XcvCommand* end() const { return first + count; }
    const XcvCommand* first;
    size_t count;
};

// Every command, in the order in which names are compared.
XcvCommandTable xcvCommands();

// The first command whose name equals this one exactly (letter case
// counting); nullptr when none does.
const XcvCommand* findXcvCommand(const wchar_t* name);

// The UI library the spooler loads for this monitor, as "MonitorUI" names it.
constexpr const wchar_t* kMonitorUILibrary = L"QRXUIDll.dll";

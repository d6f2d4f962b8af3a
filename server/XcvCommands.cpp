#include "XcvCommands.h"

#include "ErrorBuilders.h"
#include "PortStore.h"
#include "PortValueRules.h"
#include "PrinterList.h"
#include "ResourceIds.h"
#include "SpoolerPorts.h"

#include <cwchar>

namespace {

const std::wstring& portOf(const XcvCall& call) { return call.arguments.first; }

// A name that cannot be a port's would address the "Ports" key itself or a
// key below another port; it is refused as the store refuses it to AddPort.
void requirePortName(const std::wstring& name, const wchar_t* registryCall) {
    if (!PortStore::isPortName(name)) throwRegistryError(registryCall, portKeyPath(name), ERROR_INVALID_NAME);
}

// Asks the spooler, not the store: a name that any monitor's port uses is taken.
DWORD portExists(const XcvCall& call) { return spoolerHasPort(portOf(call)) ? IDS_PORT_EXISTS : ERROR_SUCCESS; }

DWORD addPort(const XcvCall& call) {
    PortStore(call.monitor).createPortKey(portOf(call));
    return ERROR_SUCCESS;
}

DWORD deletePort(const XcvCall& call) {
    requirePortName(portOf(call), L"fpDeleteKey()");
    PortStore(call.monitor).deletePortKey(portOf(call));
    return ERROR_SUCCESS;
}

DWORD readText(const XcvCall& call) {
    requirePortName(portOf(call), L"fpOpenKey()");
    return call.answer.text([&] {
        std::wstring value;
        PortStore(call.monitor).readPortValue(portOf(call), call.valueName, value);
        return value;
    });
}

DWORD readFlag(const XcvCall& call) {
    requirePortName(portOf(call), L"fpOpenKey()");
    return call.answer.flag([&]() -> std::optional<DWORD> {
        DWORD flag = 0;
        if (!PortStore(call.monitor).readPortValue(portOf(call), call.valueName, flag)) return std::nullopt;
        return flag;
    });
}

DWORD writeText(const XcvCall& call) {
    requirePortName(portOf(call), L"fpOpenKey()");
    PortStore(call.monitor).writePortValue(portOf(call), call.valueName, call.arguments.second);
    return ERROR_SUCCESS;
}

// Only the exact text "true" sets a flag.
DWORD writeFlag(const XcvCall& call) {
    requirePortName(portOf(call), L"fpOpenKey()");
    const DWORD flag = call.arguments.second == L"true" ? 1 : 0;
    PortStore(call.monitor).writePortValue(portOf(call), call.valueName, flag);
    return ERROR_SUCCESS;
}

// A sizing call asks the server and keeps its reply; the copy call that
// follows with the same input is answered from it, so that both see the
// same list. A copy whose buffer is too small keeps it for the next try.
DWORD printerList(const XcvCall& call) {
    const std::wstring input = call.arguments.first + L'\\' + call.arguments.second;
    std::optional<KeptPrinterList> kept = std::move(call.previousList);
    if (call.answer.sizing() || !kept || kept->input != input)
        kept = KeptPrinterList{input, queryPrinterList(call.arguments.first, call.arguments.second)};
    const DWORD status = call.answer.text([&] { return kept->reply; });
    if (status == ERROR_INSUFFICIENT_BUFFER) call.keptList = std::move(kept);
    return status;
}

// The waiting time as decimal text, read as the job path reads it.
DWORD readRetryMinutes(const XcvCall& call) {
    requirePortName(portOf(call), L"fpOpenKey()");
    return call.answer.text([&] { return std::to_wstring(PortStore(call.monitor).readRetryMinutes(portOf(call))); });
}

// Decimal minutes up to a week; anything else is refused.
DWORD writeRetryMinutes(const XcvCall& call) {
    requirePortName(portOf(call), L"fpOpenKey()");
    const std::optional<DWORD> minutes = retryMinutesOf(call.arguments.second);
    if (!minutes) return ERROR_INVALID_DATA;
    PortStore(call.monitor).writeRetryMinutes(portOf(call), *minutes);
    return ERROR_SUCCESS;
}

DWORD monitorUI(const XcvCall& call) { return call.answer.fixedText(kMonitorUILibrary); }

using Shape = XcvInputShape;
using Answer = XcvAnswerKind;
namespace value = portvalue;

const XcvCommand kCommands[] = {
    {L"PortExists", Shape::PortName, nullptr, Answer::None, portExists},
    {L"AddPort", Shape::PortName, nullptr, Answer::None, addPort},
    {L"GetHostName", Shape::PortName, value::kHost, Answer::Text, readText},
    {L"GetPortNo", Shape::PortName, value::kPort, Answer::Text, readText},
    {L"GetPrinterName", Shape::PortName, value::kPrinter, Answer::Text, readText},
    {L"GetUnattendedFlag", Shape::PortName, value::kUnattended, Answer::Flag, readFlag},
    {L"SetDeviceType", Shape::PortAndValue, value::kDevice, Answer::None, writeText},
    {L"SetHostName", Shape::PortAndValue, value::kHost, Answer::None, writeText},
    {L"SetPortNo", Shape::PortAndValue, value::kPort, Answer::None, writeText},
    {L"SetPrinterName", Shape::PortAndValue, value::kPrinter, Answer::None, writeText},
    {L"SetUnattendedFlag", Shape::PortAndValue, value::kUnattended, Answer::None, writeFlag},
    {L"GetPrinterList", Shape::HostAndPort, nullptr, Answer::Text, printerList},
    {L"GetAddress", Shape::PortName, value::kAddress, Answer::Text, readText},
    {L"GetBuilding", Shape::PortName, value::kBuilding, Answer::Text, readText},
    {L"GetDepartment", Shape::PortName, value::kDepartment, Answer::Text, readText},
    {L"GetJobAttributes", Shape::PortName, value::kAttributes, Answer::Text, readText},
    {L"GetName", Shape::PortName, value::kName, Answer::Text, readText},
    {L"GetRoom", Shape::PortName, value::kRoom, Answer::Text, readText},
    // Spelled so on the channel: the UI library sends this name.
    {L"GetPropmtFlag", Shape::PortName, value::kShow, Answer::Flag, readFlag},
    {L"SetAddress", Shape::PortAndValue, value::kAddress, Answer::None, writeText},
    {L"SetBuilding", Shape::PortAndValue, value::kBuilding, Answer::None, writeText},
    {L"SetDepartment", Shape::PortAndValue, value::kDepartment, Answer::None, writeText},
    {L"SetJobAttributes", Shape::PortAndValue, value::kAttributes, Answer::None, writeText},
    {L"SetName", Shape::PortAndValue, value::kName, Answer::None, writeText},
    {L"SetRoom", Shape::PortAndValue, value::kRoom, Answer::None, writeText},
    {L"SetPromptFlag", Shape::PortAndValue, value::kShow, Answer::None, writeFlag},
    {L"DeletePort", Shape::PortName, nullptr, Answer::None, deletePort},
    {L"GetRetryMinutes", Shape::PortName, value::kRetryMinutes, Answer::Text, readRetryMinutes},
    {L"SetRetryMinutes", Shape::PortAndValue, value::kRetryMinutes, Answer::None, writeRetryMinutes},
    {L"MonitorUI", Shape::Ignored, nullptr, Answer::Text, monitorUI},
};

}  // namespace

XcvCommandTable xcvCommands() { return {kCommands, sizeof kCommands / sizeof kCommands[0]}; }

const XcvCommand* findXcvCommand(const wchar_t* name) {
    for (const XcvCommand& command : xcvCommands())
        if (std::wcscmp(command.name, name) == 0) return &command;
    return nullptr;
}

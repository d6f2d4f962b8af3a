#include "XcvClient.h"

#include "PortValueRules.h"
#include "ResourceIds.h"
#include "ResourceStrings.h"
#include "SystemErrorText.h"

#include <algorithm>

namespace {

class SpoolerXcvCalls : public XcvCalls {
public:
    BOOL openPrinter(LPWSTR name, LPHANDLE handle, LPPRINTER_DEFAULTSW defaults) override {
        return OpenPrinterW(name, handle, defaults);
    }
    BOOL xcvData(HANDLE channel, PCWSTR command, PBYTE input, DWORD inputSize, PBYTE output, DWORD outputSize,
                 PDWORD needed, PDWORD status) override {
        return XcvDataW(channel, command, input, inputSize, output, outputSize, needed, status);
    }
    BOOL closePrinter(HANDLE channel) override { return ClosePrinter(channel); }
};

SpoolerXcvCalls spoolerCalls;
XcvCalls* currentCalls = &spoolerCalls;

// Statuses in this range are identifiers of the resource library's strings.
constexpr DWORD kFirstStringStatus = 3500;
constexpr DWORD kLastStringStatus = 3599;
// What a call that the spooler refused without answering leaves as its
// status: the call did not come back from the monitor.
constexpr DWORD kNoStatus = RPC_S_CALL_FAILED;
// A reply of this many bytes or fewer holds no value (at most the NUL).
constexpr DWORD kEmptyReply = 2;

// The sizing pass of a query: no buffer, and the monitor must answer with the
// size it needs. The size, or 0 when the reply holds no value.
DWORD replySize(XcvChannel& channel, const std::wstring& command, const std::wstring& portName) {
    XcvChannel::Reply sizing = channel.call(command, portName, false);
    if (sizing.status != ERROR_INSUFFICIENT_BUFFER) throw commandFailure(sizing.status, sizing.lastError);
    return sizing.needed > kEmptyReply ? sizing.needed : 0;
}

constexpr const wchar_t* kSetRetryMinutes = L"SetRetryMinutes";

// One record's commands: its texts, each read and written in this order,
// then its flag. A text without a query is only written.
template <class Record>
struct RecordCommands {
    struct Text {
        const wchar_t* query;
        const wchar_t* update;
        std::wstring Record::*field;
    };
    struct Flag {
        const wchar_t* query;
        const wchar_t* update;
        DWORD Record::*field;
    };
    std::vector<Text> texts;
    Flag flag;
};

const RecordCommands<PortSettings> kSettingsCommands{
    {{nullptr, L"SetDeviceType", &PortSettings::deviceType},
     {L"GetHostName", L"SetHostName", &PortSettings::hostName},
     {L"GetPortNo", L"SetPortNo", &PortSettings::portNumber},
     {L"GetPrinterName", L"SetPrinterName", &PortSettings::printerName}},
    {L"GetUnattendedFlag", L"SetUnattendedFlag", &PortSettings::unattended}};

// "GetPropmtFlag" is the monitor's own spelling of the command.
const RecordCommands<PortOptions> kOptionsCommands{
    {{L"GetAddress", L"SetAddress", &PortOptions::address},
     {L"GetBuilding", L"SetBuilding", &PortOptions::building},
     {L"GetDepartment", L"SetDepartment", &PortOptions::department},
     {L"GetJobAttributes", L"SetJobAttributes", &PortOptions::jobAttributes},
     {L"GetName", L"SetName", &PortOptions::name},
     {L"GetRoom", L"SetRoom", &PortOptions::room}},
    {L"GetPropmtFlag", L"SetPromptFlag", &PortOptions::promptFlag}};

template <class Record>
void queryRecord(XcvChannel& channel, Record& record, const RecordCommands<Record>& commands) {
    for (const auto& text : commands.texts)
        if (text.query) channel.query(text.query, record.portName, record.*text.field);
    channel.query(commands.flag.query, record.portName, record.*commands.flag.field);
}

std::wstring flagText(DWORD flag) { return flag ? L"true" : L"false"; }

// The Set commands of a record, each with the value it writes and the one
// read before.
template <class Record>
std::vector<PortChange::Write> writesOf(const Record& before, const Record& after,
                                        const RecordCommands<Record>& commands) {
    std::vector<PortChange::Write> writes;
    for (const auto& text : commands.texts)
        writes.push_back({text.update, after.portName, after.*text.field, before.*text.field});
    writes.push_back({commands.flag.update, after.portName, flagText(after.*commands.flag.field),
                      flagText(before.*commands.flag.field)});
    return writes;
}

void sendWrites(XcvChannel& channel, const std::vector<PortChange::Write>& writes) {
    for (const PortChange::Write& write : writes) channel.update(write.command, write.portName, write.value);
}

template <class Record>
void updateRecord(XcvChannel& channel, const Record& record, const RecordCommands<Record>& commands) {
    sendWrites(channel, writesOf(record, record, commands));
}

}  // namespace

void queryRetryMinutes(XcvChannel& channel, PortSettings& settings) {
    std::wstring text;
    channel.query(L"GetRetryMinutes", settings.portName, text);
    settings.retryMinutes = retryMinutesOf(text).value_or(settings.retryMinutes);
}

XcvCalls& xcvCalls() { return *currentCalls; }

void setXcvCalls(XcvCalls* calls) { currentCalls = calls ? calls : &spoolerCalls; }

std::wstring channelName(const wchar_t* serverName, ChannelKind kind, const std::wstring& name) {
    std::wstring channel = serverName && *serverName ? std::wstring(serverName) + L"\\," : L",";
    channel += kind == ChannelKind::Monitor ? L"XcvMonitor " : L"XcvPort ";
    return channel + name;
}

RuntimeError commandFailure(DWORD status, DWORD lastError) {
    std::wstring text = status >= kFirstStringStatus && status <= kLastStringStatus ? loadResourceString(status)
                                                                                    : systemErrorText(status);
    // The monitor usually runs in the spooler's process, so this thread's
    // last error may say nothing of the failure; the status does.
    return RuntimeError(std::move(text), lastError ? lastError : status);
}

XcvChannel::XcvChannel(const wchar_t* serverName, ChannelKind kind, const std::wstring& name) {
    std::wstring object = channelName(serverName, kind, name);
    PRINTER_DEFAULTSW defaults{nullptr, nullptr, SERVER_ACCESS_ADMINISTER};
    HANDLE handle = nullptr;
    if (!xcvCalls().openPrinter(object.data(), &handle, &defaults)) {
        DWORD code = GetLastError();
        throw RuntimeError(loadResourceString(IDS_OPENPRINTER_FAILED), code);
    }
    handle_ = handle;
}

XcvChannel::~XcvChannel() {
    if (handle_) xcvCalls().closePrinter(handle_);
}

void XcvChannel::close() {
    HANDLE handle = handle_;
    handle_ = nullptr;
    // What the steps before the close left as the last error stays the
    // caller's answer when the close succeeds.
    DWORD kept = GetLastError();
    if (!xcvCalls().closePrinter(handle)) {
        DWORD code = GetLastError();
        throw RuntimeError(loadResourceString(IDS_CLOSEPRINTER_FAILED), code);
    }
    SetLastError(kept);
}

XcvChannel::Reply XcvChannel::call(const std::wstring& command, const std::wstring& input, bool countTerminator,
                                   BYTE* output, DWORD outputSize) {
    auto bytes = reinterpret_cast<PBYTE>(const_cast<wchar_t*>(input.c_str()));
    DWORD size = static_cast<DWORD>((input.size() + (countTerminator ? 1 : 0)) * sizeof(wchar_t));
    Reply reply;
    reply.status = kNoStatus;
    // The call's own result is not looked at: the status decides. The last
    // error starts at 0 so that one the call leaves unchanged reads as none.
    SetLastError(ERROR_SUCCESS);
    xcvCalls().xcvData(handle_, command.c_str(), bytes, size, output, outputSize, &reply.needed, &reply.status);
    reply.lastError = GetLastError();
    return reply;
}

DWORD XcvChannel::request(const std::wstring& command, const std::wstring& input, bool countTerminator) {
    return call(command, input, countTerminator).status;
}

void XcvChannel::perform(const std::wstring& command, const std::wstring& portName) {
    Reply reply = call(command, portName, true);
    if (reply.status != ERROR_SUCCESS) throw commandFailure(reply.status, reply.lastError);
}

void XcvChannel::query(const std::wstring& command, const std::wstring& portName, std::wstring& value) {
    DWORD size = replySize(*this, command, portName);
    if (!size) return;
    std::vector<wchar_t> text((size + 1) / sizeof(wchar_t));
    Reply copy = call(command, portName, false, reinterpret_cast<BYTE*>(text.data()), size);
    if (copy.status != ERROR_SUCCESS) throw commandFailure(copy.status, copy.lastError);
    // The reply less its NUL, as long as the monitor says it is; never more
    // than the buffer holds.
    size_t characters = std::min<size_t>(copy.needed / sizeof(wchar_t), text.size());
    value.assign(text.data(), characters ? characters - 1 : 0);
}

void XcvChannel::query(const std::wstring& command, const std::wstring& portName, DWORD& flag) {
    if (!replySize(*this, command, portName)) return;
    // A monitor that writes nothing leaves the flag as it was.
    DWORD value = flag;
    Reply copy = call(command, portName, false, reinterpret_cast<BYTE*>(&value), sizeof value);
    if (copy.status != ERROR_SUCCESS) throw commandFailure(copy.status, copy.lastError);
    flag = value;
}

void XcvChannel::update(const std::wstring& command, const std::wstring& portName, const std::wstring& value) {
    Reply reply = call(command, portName + L"\\" + value, false);
    if (reply.status != ERROR_SUCCESS) throw commandFailure(reply.status, reply.lastError);
}

void XcvChannel::update(const std::wstring& command, const std::wstring& portName, DWORD flag) {
    update(command, portName, flagText(flag));
}

bool XcvChannel::fetch(const std::wstring& command, const std::wstring& input, std::vector<BYTE>& reply,
                       DWORD& status) {
    reply.clear();
    Reply sizing = call(command, input, false);
    status = sizing.status;
    if (status != ERROR_INSUFFICIENT_BUFFER) return false;
    reply.resize(sizing.needed);
    status = call(command, input, false, reply.data(), sizing.needed).status;
    return status == ERROR_SUCCESS;
}

void querySettings(XcvChannel& channel, PortSettings& settings) { queryRecord(channel, settings, kSettingsCommands); }

void updateSettings(XcvChannel& channel, PortSettings settings) { updateRecord(channel, settings, kSettingsCommands); }

void queryOptions(XcvChannel& channel, PortOptions& options) { queryRecord(channel, options, kOptionsCommands); }

void updateOptions(XcvChannel& channel, const PortOptions& options) {
    updateRecord(channel, options, kOptionsCommands);
}

void PortChange::add(const PortSettings& before, const PortSettings& after) {
    std::vector<Write> writes = writesOf(before, after, kSettingsCommands);
    writes_.insert(writes_.end(), writes.begin(), writes.end());
}

void PortChange::add(const PortOptions& before, const PortOptions& after) {
    std::vector<Write> writes = writesOf(before, after, kOptionsCommands);
    writes_.insert(writes_.end(), writes.begin(), writes.end());
}

void PortChange::addRetryMinutes(const PortSettings& before, const PortSettings& after) {
    writes_.push_back({kSetRetryMinutes, after.portName, std::to_wstring(after.retryMinutes),
                       std::to_wstring(before.retryMinutes)});
}

void PortChange::send(XcvChannel& channel) const {
    for (auto write = writes_.begin(); write != writes_.end(); ++write) {
        try {
            channel.update(write->command, write->portName, write->value);
        } catch (const RuntimeError& failure) {
            // A write that changed nothing needs no undoing; the failed one
            // is taken to have written nothing.
            std::wstring notPutBack;
            for (auto done = writes_.begin(); done != write; ++done) {
                if (done->value == done->previous) continue;
                try {
                    channel.update(done->command, done->portName, done->previous);
                } catch (const RuntimeError&) {
                    notPutBack += (notPutBack.empty() ? L"" : L", ") + std::wstring(done->command);
                }
            }
            std::wstring message = failure.message();
            if (!message.empty() && message.back() != L'\n') message += L'\n';
            message += notPutBack.empty() ? loadResourceString(IDS_SETTINGS_PUT_BACK)
                                          : fillTemplate(loadResourceString(IDS_SETTINGS_NOT_PUT_BACK), notPutBack);
            throw RuntimeError(message, failure.code());
        }
    }
}

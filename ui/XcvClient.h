// The UI library's side of the spooler's transceive channel to the monitor:
// the channel, plain requests, two-pass queries and updates, and the wording
// of a failed command. The spooler is reached only through XcvCalls.
#pragma once

#include "PortRecords.h"
#include "RuntimeError.h"

#include <windows.h>
#include <winspool.h>

#include <string>
#include <vector>

// The three spooler calls the client makes; tests put a stand-in in place.
class XcvCalls {
public:
    virtual ~XcvCalls() = default;
    virtual BOOL openPrinter(LPWSTR name, LPHANDLE handle, LPPRINTER_DEFAULTSW defaults) = 0;
    virtual BOOL xcvData(HANDLE channel, PCWSTR command, PBYTE input, DWORD inputSize, PBYTE output,
                         DWORD outputSize, PDWORD needed, PDWORD status) = 0;
    virtual BOOL closePrinter(HANDLE channel) = 0;
};

XcvCalls& xcvCalls();
// Replaces the calls; nullptr puts the spooler's own back.
void setXcvCalls(XcvCalls* calls);

enum class ChannelKind { Monitor, Port };

// "[server\],XcvMonitor name" or "[server\],XcvPort name".
std::wstring channelName(const wchar_t* serverName, ChannelKind kind, const std::wstring& name);

// The error of a failed command: the string-table text when the status is a
// string identifier (3500-3599), else the system's text of the status; the
// code is the last error after the call, or the status when that is 0.
RuntimeError commandFailure(DWORD status, DWORD lastError);

// One open channel, owned: close() reports a failed close; the destructor
// closes a channel still open and ignores the result.
class XcvChannel {
public:
    // Raises 3530 with the last error when the channel cannot be opened.
    XcvChannel(const wchar_t* serverName, ChannelKind kind, const std::wstring& name);
    XcvChannel(const XcvChannel&) = delete;
    XcvChannel& operator=(const XcvChannel&) = delete;
    ~XcvChannel();

    // Raises 3533 with the last error; a channel is closed once, whether the
    // close succeeded or not.
    void close();
    bool isOpen() const { return handle_ != nullptr; }

    struct Reply {
        DWORD status = 0;
        DWORD lastError = 0;  // read right after the call, which starts with 0
        DWORD needed = 0;
    };
    // One XcvDataW call; input size in bytes = characters x 2, plus 2 when
    // the terminator counts.
    Reply call(const std::wstring& command, const std::wstring& input, bool countTerminator, BYTE* output = nullptr,
               DWORD outputSize = 0);
    // A command whose status is its answer ("PortExists", the terminator not
    // counted): the status.
    DWORD request(const std::wstring& command, const std::wstring& input, bool countTerminator);
    // "AddPort" and "DeletePort": the port name with its terminator counted;
    // any status but 0 raises commandFailure.
    void perform(const std::wstring& command, const std::wstring& portName);
    // Two-pass queries with the port name as input; a needed size of 2 bytes
    // or less leaves the value as it was. Raise commandFailure.
    void query(const std::wstring& command, const std::wstring& portName, std::wstring& value);
    void query(const std::wstring& command, const std::wstring& portName, DWORD& flag);
    // "portName\value" (a flag as "true" or "false"). Raise commandFailure.
    void update(const std::wstring& command, const std::wstring& portName, const std::wstring& value);
    void update(const std::wstring& command, const std::wstring& portName, DWORD flag);
    // A two-pass exchange whose reply is returned whole (bytes as the
    // monitor wrote them); failures give the status, for callers that word
    // them themselves.
    bool fetch(const std::wstring& command, const std::wstring& input, std::vector<BYTE>& reply, DWORD& status);

private:
    HANDLE handle_ = nullptr;
};

// The connection settings: read with the four Get commands, written with the
// five Set commands, in the flows' order.
void querySettings(XcvChannel& channel, PortSettings& settings);
void updateSettings(XcvChannel& channel, PortSettings settings);
// The options: the seven option queries and updates, in their order.
void queryOptions(XcvChannel& channel, PortOptions& options);
void updateOptions(XcvChannel& channel, const PortOptions& options);

// The port's waiting time for a server that cannot be reached: qrxport reads
// and sets it, the dialogs leave it as it is. A reply that is no waiting
// time leaves the field as it was.
void queryRetryMinutes(XcvChannel& channel, PortSettings& settings);

// One change of a port, made whole or not at all: its records' Set commands
// in their order; when one fails, the values already written are written
// again as they were read before the change. The failure is then raised with
// its code, its message followed by whether every setting is as it was or
// which ones could not be put back.
class PortChange {
public:
    void add(const PortSettings& before, const PortSettings& after);
    void add(const PortOptions& before, const PortOptions& after);
    void addRetryMinutes(const PortSettings& before, const PortSettings& after);
    void send(XcvChannel& channel) const;

    struct Write {
        const wchar_t* command;
        std::wstring portName, value, previous;
    };

private:
    std::vector<Write> writes_;
};

// Stand-ins for the spooler calls of the transceive client and for the port
// dialogs: the spooler answers like the monitor and records every call.
#pragma once

#include "PortDialogs.h"
#include "XcvClient.h"

#include <algorithm>
#include <cstring>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace qrxtest {

// Texts of the English resource library that the client raises.
inline const std::wstring kOpenPrinterFailed = L"VAV5000E The OpenPrinter function failed.";
inline const std::wstring kPortDeleted = L"VAV5002I The port has been deleted.";
inline const std::wstring kClosePrinterFailed = L"VAV5003E The ClosePrinter function failed.";
inline const std::wstring kPortExists = L"DAV5007I Port %1 already exists.";
inline const std::wstring kSettingsPutBack = L"The port's settings are as they were before.";
inline const std::wstring kSettingsNotPutBack = L"These settings could not be put back: ";

inline std::vector<BYTE> bytesOf(const std::wstring& text) {
    std::vector<BYTE> bytes((text.size() + 1) * sizeof(wchar_t));
    std::memcpy(bytes.data(), text.c_str(), bytes.size());
    return bytes;
}

// One XcvDataW answer; an undelivered call returns FALSE and no status.
struct XcvAnswer {
    XcvAnswer(DWORD status = 0, DWORD needed = 0, std::vector<BYTE> output = {}, DWORD lastError = 0,
              bool delivered = true)
        : status(status), needed(needed), output(std::move(output)), lastError(lastError), delivered(delivered) {}
    DWORD status, needed;
    std::vector<BYTE> output;
    DWORD lastError;
    bool delivered;
};

class StandInSpooler : public XcvCalls {
public:
    StandInSpooler() { setXcvCalls(this); }
    ~StandInSpooler() override { setXcvCalls(nullptr); }

    // What the Get commands answer (a text's or a flag's bytes); others answer
    // an absent value.
    std::map<std::wstring, std::vector<BYTE>> stored;
    // Answers to the next XcvDataW calls, before anything else.
    std::deque<XcvAnswer> script;
    // Answers to the next calls of one command, before the fault and the stored values.
    std::map<std::wstring, std::deque<XcvAnswer>> commandScript;
    // The failing call: "OpenPrinterW", "ClosePrinter" or a command.
    struct Fault {
        std::wstring call;
        DWORD status, lastError;
    };
    std::optional<Fault> fault;

    // "open <object>", "close", or "<command> <input>" with a sent NUL as "\0".
    std::vector<std::wstring> trace;
    std::vector<DWORD> outputSizes, lastErrorsOnEntry;
    PRINTER_DEFAULTSW defaults{};

    BOOL openPrinter(LPWSTR name, LPHANDLE handle, LPPRINTER_DEFAULTSW printerDefaults) override {
        trace.push_back(std::wstring(L"open ") + name);
        defaults = *printerDefaults;
        *handle = kHandle;
        return !failing(L"OpenPrinterW");
    }
    BOOL xcvData(HANDLE channel, PCWSTR command, PBYTE input, DWORD inputSize, PBYTE output, DWORD outputSize,
                 PDWORD needed, PDWORD status) override {
        std::wstring text(reinterpret_cast<const wchar_t*>(input), inputSize / sizeof(wchar_t));
        if (!text.empty() && text.back() == L'\0') text.replace(text.size() - 1, 1, L"\\0");
        trace.push_back(command + (L" " + text));
        outputSizes.push_back(outputSize);
        lastErrorsOnEntry.push_back(GetLastError());
        XcvAnswer answer = answerTo(command, outputSize);
        if (channel != kHandle || !answer.delivered) {
            SetLastError(answer.lastError);
            return FALSE;
        }
        *needed = answer.needed;
        *status = answer.status;
        if (output) std::memcpy(output, answer.output.data(), std::min<size_t>(answer.output.size(), outputSize));
        if (answer.lastError) SetLastError(answer.lastError);
        return TRUE;
    }
    BOOL closePrinter(HANDLE channel) override {
        trace.push_back(L"close");
        // A close that succeeds is free to reset the last error.
        SetLastError(ERROR_SUCCESS);
        return channel == kHandle && !failing(L"ClosePrinter");
    }

private:
    static inline const HANDLE kHandle = reinterpret_cast<HANDLE>(0x5150);

    bool failing(const std::wstring& call) {
        if (!fault || fault->call != call) return false;
        SetLastError(fault->lastError);
        return true;
    }
    XcvAnswer answerTo(const std::wstring& command, DWORD outputSize) {
        if (!script.empty()) {
            XcvAnswer answer = script.front();
            script.pop_front();
            return answer;
        }
        auto scripted = commandScript.find(command);
        if (scripted != commandScript.end() && !scripted->second.empty()) {
            XcvAnswer answer = scripted->second.front();
            scripted->second.pop_front();
            return answer;
        }
        if (fault && fault->call == command) return {fault->status, 0, {}, fault->lastError};
        if (command.rfind(L"Get", 0) != 0) return {};
        auto value = stored.find(command);
        if (value == stored.end()) return {outputSize ? 0u : DWORD{ERROR_INSUFFICIENT_BUFFER}};
        const DWORD size = static_cast<DWORD>(value->second.size());
        return outputSize ? XcvAnswer{0, size, value->second} : XcvAnswer{ERROR_INSUFFICIENT_BUFFER, size};
    }
};

// The add dialog answers the name given (nothing: cancelled). The configure
// dialog records what it was shown and edits the record (on Cancel too,
// which must send none of it); on Cancel it sets the last error as the real
// one does.
class StandInDialogs : public PortDialogs {
public:
    std::optional<std::wstring> newPortName;
    bool configureOk = true;
    std::vector<PortSettings> shown;
    std::vector<bool> channelOpen;

    std::optional<std::wstring> askNewPortName(HWND, XcvChannel& channel) override {
        channelOpen.push_back(channel.isOpen());
        return newPortName;
    }
    bool configurePort(HWND, XcvChannel& channel, PortSettings& settings) override {
        channelOpen.push_back(channel.isOpen());
        shown.push_back(settings);
        if (!configureOk) SetLastError(ERROR_CANCELLED);
        settings = PortSettings(settings.portName);
        settings.hostName = L"edited.example";
        return configureOk;
    }
};

}  // namespace qrxtest

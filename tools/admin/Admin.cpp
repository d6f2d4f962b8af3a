// Sends one transceive command to the monitor through the spooler, the way
// the UI library does, and prints the status and the answer. For tests, the
// demo, and administrators without the dialogs.
//
//   qrx-admin [--port <port>] <Command> [input]
//
// The channel is opened on ",XcvMonitor Prentova Port Monitor", or on
// ",XcvPort <port>" with --port, with SERVER_ACCESS_ADMINISTER. The input is
// sent as text with its NUL (none at all when it is left out). Text answers
// are fetched with a sizing call and a copy call. Exit code: 0 for status 0,
// 1 for any other status, 2 for a usage error, 3 when the channel fails.
#include "XcvCommands.h"

#include <windows.h>
#include <winspool.h>

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr const wchar_t* kMonitorObject = L",XcvMonitor Prentova Port Monitor";
constexpr const wchar_t* kResourceLibrary = L"QRXPM1033U.dll";
// Statuses in this range are message ids of the resource library.
constexpr DWORD kFirstMessageId = 3500;
constexpr DWORD kLastMessageId = 3599;
// Rounds of the copy call for a text that grows between the calls.
constexpr int kCopyRounds = 3;

class ChannelError {
public:
    ChannelError(const wchar_t* call, DWORD code) : call_(call), code_(code) {}
    void print() const { std::fwprintf(stderr, L"qrx-admin: %ls failed (error %lu)\n", call_, code_); }

private:
    const wchar_t* call_;
    DWORD code_;
};

// The words for a status: the system's, or the resource library's message.
std::wstring describe(DWORD status) {
    wchar_t text[1024] = {};
    if (status >= kFirstMessageId && status <= kLastMessageId) {
        HMODULE library = LoadLibraryExW(kResourceLibrary, nullptr, LOAD_LIBRARY_AS_DATAFILE);
        if (!library) return L"";
        int length = LoadStringW(library, status, text, 1024);
        FreeLibrary(library);
        return std::wstring(text, length > 0 ? length : 0);
    }
    DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, status, 0,
                                  text, 1024, nullptr);
    std::wstring words(text, length);
    while (!words.empty() && (words.back() == L'\n' || words.back() == L'\r')) words.pop_back();
    return words;
}

class Channel {
public:
    explicit Channel(const std::wstring& object) {
        PRINTER_DEFAULTSW defaults{nullptr, nullptr, SERVER_ACCESS_ADMINISTER};
        if (!OpenPrinterW(const_cast<LPWSTR>(object.c_str()), &printer_, &defaults))
            throw ChannelError(L"OpenPrinterW", GetLastError());
    }
    ~Channel() { ClosePrinter(printer_); }
    Channel(const Channel&) = delete;
    Channel& operator=(const Channel&) = delete;

    struct Reply {
        DWORD status;
        DWORD needed;
        std::vector<BYTE> output;
    };
    Reply send(const std::wstring& command, const std::optional<std::wstring>& input, DWORD outputSize) {
        Reply reply{ERROR_SUCCESS, 0, std::vector<BYTE>(outputSize)};
        BYTE* in = input ? reinterpret_cast<BYTE*>(const_cast<wchar_t*>(input->c_str())) : nullptr;
        DWORD inSize = input ? static_cast<DWORD>((input->size() + 1) * sizeof(wchar_t)) : 0;
        if (!XcvDataW(printer_, command.c_str(), in, inSize, outputSize ? reply.output.data() : nullptr, outputSize,
                      &reply.needed, &reply.status))
            throw ChannelError(L"XcvDataW", GetLastError());
        return reply;
    }

private:
    HANDLE printer_ = nullptr;
};

// The sizing call, then copy calls with the size last asked for.
Channel::Reply fetch(Channel& channel, const std::wstring& command, const std::optional<std::wstring>& input) {
    Channel::Reply reply = channel.send(command, input, 0);
    for (int round = 0; round < kCopyRounds && reply.status == ERROR_INSUFFICIENT_BUFFER && reply.needed > 0; ++round)
        reply = channel.send(command, input, reply.needed);
    return reply;
}

std::wstring textOf(const std::vector<BYTE>& output) {
    std::wstring text(output.size() / sizeof(wchar_t), L'\0');
    if (!text.empty()) std::memcpy(&text[0], output.data(), text.size() * sizeof(wchar_t));
    return text.substr(0, text.find(L'\0'));
}

int run(const std::wstring& object, const std::wstring& command, const std::optional<std::wstring>& input) {
    Channel channel(object);
    const XcvCommand* known = findXcvCommand(command.c_str());
    const XcvAnswerKind answer = known ? known->answer : XcvAnswerKind::None;
    Channel::Reply reply =
        answer == XcvAnswerKind::None ? channel.send(command, input, 0) : fetch(channel, command, input);

    std::wprintf(L"status: %lu", reply.status);
    std::wstring words = describe(reply.status);
    // The library's messages name the port in place of %1.
    for (size_t at; input && (at = words.find(L"%1")) != std::wstring::npos;) words.replace(at, 2, *input);
    if (!words.empty()) std::wprintf(L" (%ls)", words.c_str());
    std::wprintf(L"\n");
    if (reply.status == ERROR_SUCCESS) {
        if (answer == XcvAnswerKind::Text) std::wprintf(L"text: %ls\n", textOf(reply.output).c_str());
        if (answer == XcvAnswerKind::Flag) {
            DWORD flag = 0;
            if (reply.output.size() >= sizeof flag) {
                std::memcpy(&flag, reply.output.data(), sizeof flag);
                std::wprintf(L"flag: %lu\n", flag);
            }
        }
    } else if (answer == XcvAnswerKind::Flag && reply.status == ERROR_INSUFFICIENT_BUFFER && reply.needed == 0) {
        // The sizing call's answer for a flag that is not stored.
        std::wprintf(L"flag: absent\n");
        return 0;
    }
    return reply.status == ERROR_SUCCESS ? 0 : 1;
}

void usage() {
    std::fwprintf(stderr, L"usage: qrx-admin [--port <port>] <Command> [input]\ncommands:");
    for (const XcvCommand& command : xcvCommands()) std::fwprintf(stderr, L" %ls", command.name);
    std::fwprintf(stderr, L"\n");
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    std::vector<std::wstring> args(argv + 1, argv + argc);
    std::wstring object = kMonitorObject;
    if (args.size() >= 2 && args[0] == L"--port") {
        object = L",XcvPort " + args[1];
        args.erase(args.begin(), args.begin() + 2);
    }
    if (args.empty() || args.size() > 2 || args[0].rfind(L"--", 0) == 0) {
        usage();
        return 2;
    }
    std::optional<std::wstring> input;
    if (args.size() == 2) input = args[1];
    try {
        return run(object, args[0], input);
    } catch (const ChannelError& error) {
        error.print();
        return 3;
    }
}

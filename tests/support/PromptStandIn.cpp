// A stand-in for the prompt program that answers the monitor in a way chosen
// by the port name it is started for ("QRXANSWER-<how>:"), without a window:
//   silent     ends with 0 and writes nothing
//   garbage    writes bytes of no form
//   flood      writes 8 MiB, far more than an answer may be
//   host       a well-formed answer with a name, a host and an over-long room
//   cancelled  a well-formed answer, then ends with 2
//   typed      a well-formed answer with a name
//   waiting    the same answer after 30 s, as a user who takes their time
//   unknown    a name and 10,000 values of unknown names
#include "PortRecords.h"
#include "PromptAnswers.h"

#include <windows.h>

#include <string>

namespace {

void writeAll(const std::string& bytes) {
    HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    for (size_t sent = 0; sent < bytes.size();) {
        DWORD written = 0;
        if (!WriteFile(output, bytes.data() + sent, DWORD(bytes.size() - sent), &written, nullptr)) return;
        sent += written;
    }
}

std::string wide(const std::wstring& text) {
    return std::string(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
}

std::string answerWithName(const std::wstring& portName) {
    PortOptions options(portName);
    options.name = L"Typed Name";
    options.promptFlag = 1;
    return encodePromptAnswers(options);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) return 1;
    const std::wstring port = argv[argc - 1];
    const std::wstring how = port.substr(port.find(L'-') + 1, port.find(L':') - port.find(L'-') - 1);
    if (how == L"garbage") {
        std::string noise(1000, '\0');
        for (size_t i = 0; i < noise.size(); ++i) noise[i] = char((i * 7919 + 13) & 0xFF);
        writeAll(noise);
    } else if (how == L"flood") {
        const std::string block(64 * 1024, 'A');
        for (int i = 0; i < 128; ++i) writeAll(block);
    } else if (how == L"host") {
        // Items ended by NULs: the tag, a name, a host, an over-long room, the end.
        const std::wstring items[] = {L"QRXPromptAnswers/1", L"Name", L"Typed Name", L"Host", L"203.0.113.9",
                                      L"Room", std::wstring(5000, L'x'), L""};
        std::wstring answer;
        for (const std::wstring& item : items) answer += item + L'\0';
        writeAll(wide(answer));
    } else if (how == L"cancelled") {
        writeAll(answerWithName(port));
        return 2;
    } else if (how == L"typed") {
        writeAll(answerWithName(port));
    } else if (how == L"waiting") {
        Sleep(30000);
        writeAll(answerWithName(port));
    } else if (how == L"unknown") {
        std::wstring answer = std::wstring(L"QRXPromptAnswers/1") + L'\0' + L"Name" + L'\0' + L"Typed Name" + L'\0';
        for (int i = 0; i < 10000; ++i) answer += std::wstring(1, wchar_t(L'a' + i % 26)) + L'\0' + L'\0';
        writeAll(wide(answer + L'\0'));
    }
    return 0;
}

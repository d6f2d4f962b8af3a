// qrxport's command line read into commands, without the spooler.
#include "CommandLine.h"

#include <gtest/gtest.h>

namespace {

// A command as one line: the verb, what it names, and each change given.
std::wstring summary(const ParsedCommand& c) {
    const wchar_t* const verbs[] = {L"none",   L"list",     L"show", L"add",    L"set",
                                    L"delete", L"printers", L"test", L"export", L"import"};
    std::wstring text = verbs[static_cast<int>(c.verb)];
    auto item = [&](const wchar_t* name, const std::wstring& value) { text += L" " + (name + (L"=" + value)); };
    if (c.help) text += L" help";
    if (!c.server.empty()) item(L"server", c.server);
    if (!c.port.empty()) item(L"port", c.port);
    if (!c.host.empty()) item(L"at", c.host + L":" + c.hostPort);
    if (!c.file.empty()) item(L"file", c.file);
    if (c.json) text += L" json";
    if (c.replace) text += L" replace";
    const PortChanges& x = c.changes;
    const std::pair<const wchar_t*, const std::optional<std::wstring>*> texts[] = {
        {L"--host", &x.host},         {L"--port", &x.portNumber},       {L"--queue", &x.queue},
        {L"--name", &x.name},         {L"--department", &x.department}, {L"--room", &x.room},
        {L"--building", &x.building}, {L"--attributes", &x.attributes}};
    for (auto [name, value] : texts)
        if (*value) item(name, **value);
    for (const std::wstring& line : x.address) item(L"--address", line);
    if (x.unattended) item(L"--unattended", std::to_wstring(*x.unattended));
    if (x.prompt) item(L"--prompt", std::to_wstring(*x.prompt));
    return text;
}

std::wstring read(const std::vector<std::wstring>& args) {
    try {
        return summary(parseCommandLine(args));
    } catch (const UsageError& error) {
        return L"usage error: " + error.message();
    }
}

TEST(QrxportCommandLine, ReadsCommandsAndRefusesWhatItCannotRead) {
    const struct {
        std::vector<std::wstring> args;
        std::wstring read;
    } cases[] = {
        {{L"list"}, L"list"},
        {{L"--server", L"\\\\PRINTSRV", L"list"}, L"list server=\\\\PRINTSRV"},
        {{L"list", L"--server=PRINTSRV"}, L"list server=\\\\PRINTSRV"},
        {{L"show", L"QRX1:"}, L"show port=QRX1:"},
        {{L"printers", L"printhost"}, L"printers at=printhost:515"},
        {{L"printers", L"printhost", L"5515"}, L"printers at=printhost:5515"},
        {{L"add",
          L"QRX1:",
          L"--host",
          L"h",
          L"--port",
          L"5515",
          L"--queue",
          L"Q",
          L"--unattended",
          L"--name",
          L"Ann O'Hara",
          L"--department",
          L"D",
          L"--room",
          L"12",
          L"--building",
          L"B",
          L"--address",
          L"L1",
          L"--address",
          L"L2",
          L"--attributes",
          L"copies=2",
          L"--prompt"},
         L"add port=QRX1: --host=h --port=5515 --queue=Q --name=Ann O'Hara --department=D --room=12 --building=B "
         L"--attributes=copies=2 --address=L1 --address=L2 --unattended=1 --prompt=1"},
        {{L"set", L"QRX1:", L"--no-unattended", L"--no-prompt", L"--host=", L"--room", L""},
         L"set port=QRX1: --host= --room= --unattended=0 --prompt=0"},
        {{L"--help"}, L"none help"},
        {{L"add", L"--bogus", L"-h"}, L"add help"},
        {{L"--server", L"X", L"printers", L"/?"}, L"printers help"},
        {{L"set", L"QRX1:", L"--room", L"-h", L"--attributes", L"/?", L"--name", L"--help"},
         L"set port=QRX1: --name=--help --room=-h --attributes=/?"},
        {{L"set", L"--room", L"list", L"QRX1:", L"--building=-h"}, L"set port=QRX1: --room=list --building=-h"},
        {{L"--room", L"show", L"set", L"--help"}, L"set help"},
        {{L"export"}, L"export"},
        {{L"export", L"C:\\ports one.json"}, L"export file=C:\\ports one.json"},
        {{L"import", L"--replace", L"ports.json"}, L"import file=ports.json replace"},
        {{L"list", L"--json"}, L"list json"},
        {{L"show", L"QRX1:", L"--json", L"--server", L"S"}, L"show server=\\\\S port=QRX1: json"},

        {{}, L"usage error: no command given"},
        {{L"frobnicate"}, L"usage error: unknown command \"frobnicate\""},
        {{L"show"}, L"usage error: usage: qrxport show PORT [--json]"},
        {{L"show", L"A", L"B"}, L"usage error: unexpected \"B\""},
        {{L"add", L"QRX1:", L"--host", L"h", L"--colour", L"red"}, L"usage error: unknown option --colour"},
        {{L"add", L"QRX1:", L"--host"}, L"usage error: --host needs a value"},
        {{L"add", L"QRX1:", L"--host", L"--queue", L"Q"}, L"usage error: unexpected \"Q\""},
        {{L"add", L"QRX1:", L"--host", L"a", L"--host", L"b"}, L"usage error: --host is given twice"},
        {{L"set", L"QRX1:", L"--prompt", L"--no-prompt"}, L"usage error: --prompt is given twice"},
        {{L"set", L"QRX1:", L"--prompt=yes"}, L"usage error: --prompt takes no value"},
        {{L"set", L"Q:", L"--address", L"1", L"--address", L"2", L"--address", L"3", L"--address", L"4", L"--address",
          L"5"},
         L"usage error: --address is given more than four times"},
        {{L"set", L"QRX1:"}, L"usage error: set needs an option to change"},
        {{L"show", L"QRX1:", L"--room", L"12"}, L"usage error: --room is an option of add and set only"},
        {{L"list", L"--server"}, L"usage error: --server needs a value"},
        {{L"import"}, L"usage error: usage: qrxport import FILE [--replace]"},
        {{L"export", L"a.json", L"b.json"}, L"usage error: unexpected \"b.json\""},
        {{L"import", L"a.json", L"--host", L"h"}, L"usage error: --host is an option of add and set only"},
        {{L"export", L"--replace"}, L"usage error: --replace is an option of import only"},
        {{L"add", L"QRX1:", L"--host", L"h", L"--json"}, L"usage error: --json is an option of list and show only"},
        {{L"list", L"--json=yes"}, L"usage error: --json takes no value"},
        {{L"import", L"a.json", L"--replace", L"--replace"}, L"usage error: --replace is given twice"},
    };
    for (const auto& c : cases) {
        std::wstring line;
        for (const std::wstring& arg : c.args) line += L" " + arg;
        EXPECT_EQ(read(c.args), c.read) << L"qrxport" << line;
    }
}

}  // namespace

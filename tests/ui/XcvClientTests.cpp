// The transceive client against a stand-in spooler: channel names, the two
// passes of a query with the wording of its failures, and the order of the
// option commands.
#include "ErrorCapture.h"
#include "Recorders.h"
#include "StandIns.h"
#include "SystemErrorText.h"

#include <gtest/gtest.h>

namespace {

using namespace qrxtest;
using Lines = std::vector<std::wstring>;

const bool englishResources = (useEnglishResources(), true);
const std::wstring kPort = L"QRX12:";

TEST(XcvClient, OpensTheNamedObjectForAdministrationAndClosesItOnce) {
    const struct {
        const wchar_t* server;
        ChannelKind kind;
        const wchar_t* name;
        const wchar_t* object;
    } cases[] = {
        {nullptr, ChannelKind::Monitor, L"Prentova Port Monitor", L",XcvMonitor Prentova Port Monitor"},
        {L"", ChannelKind::Port, L"P1:", L",XcvPort P1:"},
        {L"\\\\print01", ChannelKind::Monitor, L"M", L"\\\\print01\\,XcvMonitor M"},
        {L"\\\\print01", ChannelKind::Port, L"P1:", L"\\\\print01\\,XcvPort P1:"},
    };
    for (const auto& c : cases) {
        StandInSpooler spooler;
        XcvChannel channel(c.server, c.kind, c.name);
        EXPECT_EQ(channel.request(L"PortExists", L"P2", false), 0u);
        spooler.fault = StandInSpooler::Fault{L"ClosePrinter", 0, ERROR_INVALID_HANDLE};
        RuntimeError error = thrownError([&] { channel.close(); });
        EXPECT_EQ(error.message(), kClosePrinterFailed);
        EXPECT_EQ(error.code(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
        EXPECT_FALSE(channel.isOpen()) << "a failed close is not tried again";
        EXPECT_EQ(spooler.trace, (Lines{std::wstring(L"open ") + c.object, L"PortExists P2", L"close"}));
        const PRINTER_DEFAULTSW& defaults = spooler.defaults;
        EXPECT_TRUE(!defaults.pDatatype && !defaults.pDevMode && defaults.DesiredAccess == SERVER_ACCESS_ADMINISTER);
    }
    StandInSpooler spooler;
    spooler.fault = StandInSpooler::Fault{L"OpenPrinterW", 0, ERROR_INVALID_PRINTER_NAME};
    RuntimeError error = thrownError([] { XcvChannel(nullptr, ChannelKind::Port, kPort); });
    EXPECT_EQ(error.message(), kOpenPrinterFailed);
    EXPECT_EQ(error.code(), static_cast<DWORD>(ERROR_INVALID_PRINTER_NAME));
    EXPECT_EQ(spooler.trace.size(), 1u) << "nothing to close";
}

struct Failure {
    std::wstring text;
    DWORD code;
};

TEST(XcvClient, QueriesAskForTheSizeThenFetchTheValue) {
    std::vector<BYTE> flagOne(4, 0);
    flagOne[0] = 1;
    const struct {
        const char* title;
        const wchar_t* command;
        std::vector<XcvAnswer> answers;
        std::wstring text;  // the field after the query ("515" before); a flag 1 as "1"
        std::optional<Failure> failure;
        std::vector<DWORD> outputSizes;
    } cases[] = {
        {"a text", L"GetPortNo", {{122, 10}, {0, 10, bytesOf(L"5515")}}, L"5515", {}, {0, 10}},
        {"as long as the copy says", L"GetHostName", {{122, 12}, {0, 6, bytesOf(L"ab")}}, L"ab", {}, {0, 12}},
        {"empty text", L"GetPortNo", {{122, 2}}, L"515", {}, {0}},
        {"a flag in four bytes", L"GetPropmtFlag", {{122, 8}, {0, 4, flagOne}}, L"1", {}, {0, 4}},
        {"no flag", L"GetUnattendedFlag", {{122, 0}}, L"0", {}, {0}},
        {"first pass answered with 0", L"GetHostName", {{0, 0}}, L"515", Failure{L"", 0}, {0}},
        {"refused", L"GetHostName", {{2, 0, {}, ERROR_PATH_NOT_FOUND}}, L"515", Failure{systemErrorText(2), 3}, {0}},
        {"refused with a string id", L"GetRoom", {{3537, 0, {}, 87}}, L"515", Failure{kPortExists, 87}, {0}},
        {"a string id without a string", L"GetRoom", {{3599, 0}}, L"515", Failure{L"", 3599}, {0}},
        {"no last error: the status", L"GetPortNo", {{5, 0}}, L"515", Failure{systemErrorText(5), 5}, {0}},
        {"copy refused", L"GetUnattendedFlag", {{122, 4}, {8, 0}}, L"0", Failure{systemErrorText(8), 8}, {0, 4}},
        {"not delivered", L"GetHostName", {{0, 0, {}, 6, false}}, L"515",
         Failure{systemErrorText(RPC_S_CALL_FAILED), 6}, {0}},
    };
    for (const auto& c : cases) {
        StandInSpooler spooler;
        spooler.script.assign(c.answers.begin(), c.answers.end());
        XcvChannel channel(nullptr, ChannelKind::Port, kPort);
        std::wstring text = L"515";
        DWORD flag = 0;
        const bool isFlag = std::wstring(c.command).find(L"Flag") != std::wstring::npos;
        SetLastError(ERROR_GEN_FAILURE);  // stale: not the call's
        auto query = [&] { isFlag ? channel.query(c.command, kPort, flag) : channel.query(c.command, kPort, text); };
        if (c.failure) {
            RuntimeError error = thrownError(query);
            EXPECT_EQ(error.message(), c.failure->text) << c.title;
            EXPECT_EQ(error.code(), c.failure->code) << c.title;
        } else {
            query();
            EXPECT_EQ(isFlag ? std::to_wstring(flag) : text, c.text) << c.title;
        }
        EXPECT_EQ(spooler.trace.back(), std::wstring(c.command) + L" " + kPort) << "no terminator: " << c.title;
        EXPECT_EQ(spooler.outputSizes, c.outputSizes) << c.title;
        EXPECT_EQ(spooler.lastErrorsOnEntry, std::vector<DWORD>(c.outputSizes.size(), 0)) << c.title;
    }
}

TEST(XcvClient, FetchHandsBackTheWholeReplyOrTheStatus) {
    StandInSpooler spooler;
    spooler.stored[L"GetPrinterList"] = bytesOf(L"Q1\nFloor 1\nLaser\n");
    XcvChannel channel(nullptr, ChannelKind::Monitor, L"Prentova Port Monitor");
    std::vector<BYTE> reply;
    DWORD status = 1;
    EXPECT_TRUE(channel.fetch(L"GetPrinterList", L"host\\515", reply, status));
    EXPECT_EQ(reply, bytesOf(L"Q1\nFloor 1\nLaser\n"));
    spooler.script = {{122, 8}, {ERROR_CONNECTION_REFUSED, 0}};
    EXPECT_FALSE(channel.fetch(L"GetPrinterList", L"host\\515", reply, status));
    EXPECT_EQ(status, static_cast<DWORD>(ERROR_CONNECTION_REFUSED));
}

TEST(XcvClient, OptionsAreReadAndWrittenInTheirOrder) {
    StandInSpooler spooler;
    spooler.stored = {{L"GetAddress", bytesOf(L"1 Main St\nApt 2")}, {L"GetRoom", bytesOf(L"12")}};
    XcvChannel channel(nullptr, ChannelKind::Port, kPort);
    PortOptions options(kPort);
    queryOptions(channel, options);
    EXPECT_EQ(options.address, L"1 Main St\nApt 2");
    EXPECT_EQ(options.room, L"12");
    options.promptFlag = 3;
    updateOptions(channel, options);
    const Lines expected = {L"open ,XcvPort QRX12:", L"GetAddress QRX12:", L"GetAddress QRX12:",
                            L"GetBuilding QRX12:", L"GetDepartment QRX12:", L"GetJobAttributes QRX12:",
                            L"GetName QRX12:", L"GetRoom QRX12:", L"GetRoom QRX12:", L"GetPropmtFlag QRX12:",
                            L"SetAddress QRX12:\\1 Main St\nApt 2", L"SetBuilding QRX12:\\",
                            L"SetDepartment QRX12:\\", L"SetJobAttributes QRX12:\\", L"SetName QRX12:\\",
                            L"SetRoom QRX12:\\12", L"SetPromptFlag QRX12:\\true"};
    EXPECT_EQ(spooler.trace, expected);
}

}  // namespace

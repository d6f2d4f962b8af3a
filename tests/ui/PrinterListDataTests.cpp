#include "PrinterListData.h"
#include "Recorders.h"
#include "StandIns.h"
#include "SystemErrorText.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct Row {
    std::wstring name, location, description;
    bool operator==(const ListedPrinter& printer) const {
        return name == printer.name && location == printer.location && description == printer.description;
    }
};

TEST(PrinterListData, CutsTheReplyIntoPrintersOfThreeLines) {
    struct Case {
        const wchar_t* what;
        std::wstring reply;
        std::vector<Row> rows;
    };
    const Case cases[] = {
        {L"two printers", L"A\nB\nC\nD\nE\nF\n", {{L"A", L"B", L"C"}, {L"D", L"E", L"F"}}},
        {L"a last line without its line feed is lost", L"A\nB\nC\nD\nE\nF", {{L"A", L"B", L"C"}, {L"D", L"E", L""}}},
        {L"a carriage return stays in the line", L"A\r\nB\r\nC\r\n", {{L"A\r", L"B\r", L"C\r"}}},
        {L"lines are kept as they are", L" P 1 \n\n desc\n", {{L" P 1 ", L"", L" desc"}}},
        {L"a last printer without description", L"A\nB\nC\nD\nE\n", {{L"A", L"B", L"C"}, {L"D", L"E", L""}}},
        {L"a last printer alone", L"A\nB\nC\nD\n", {{L"A", L"B", L"C"}, {L"D", L"", L""}}},
        {L"nothing", L"", {}},
        {L"no line feed at all", L"A", {}},
    };
    for (const Case& c : cases) {
        PrinterListData list;
        list.assign(L"stale\n\n\n");
        list.assign(c.reply);
        const auto& printers = list.printers();
        ASSERT_EQ(printers.size(), c.rows.size()) << c.what;
        for (size_t i = 0; i < printers.size(); ++i) EXPECT_TRUE(c.rows[i] == printers[i]) << c.what << L" row " << i;
    }
}

// The fetch through the channel: what it sends, and a failure worded by the
// system, shown and logged, leaving the list empty.
TEST(PrinterListData, FetchesOverTheChannelAndReportsAFailure) {
    struct Case {
        const wchar_t* what;
        std::vector<qrxtest::XcvAnswer> answers;
        size_t printers;
        std::wstring shown;
    };
    const std::vector<BYTE> reply = qrxtest::bytesOf(L"A\nB\nC\n");
    // The system's text without its line end, then the server asked.
    const auto shown = [](DWORD status) {
        std::wstring text = systemErrorText(status);
        return text.substr(0, text.find(L'\r')) + L"\nhost: printhost, port 5515";
    };
    const Case cases[] = {
        {L"a reply", {{ERROR_INSUFFICIENT_BUFFER, DWORD(reply.size())}, {0, DWORD(reply.size()), reply}}, 1, L""},
        {L"the sizing pass refused", {{ERROR_ACCESS_DENIED}}, 0, shown(ERROR_ACCESS_DENIED)},
        {L"a first pass answered with 0", {{0}}, 0, L"host: printhost, port 5515"},
        {L"the copy pass failed", {{ERROR_INSUFFICIENT_BUFFER, 8}, {WSAECONNREFUSED}}, 0, shown(WSAECONNREFUSED)},
    };
    for (const Case& c : cases) {
        qrxtest::StandInSpooler spooler;
        spooler.script.assign(c.answers.begin(), c.answers.end());
        qrxtest::RecordingEventLog log;
        qrxtest::RecordingMessageBoxes boxes;
        XcvChannel channel(nullptr, ChannelKind::Port, L"P1");
        PortSettings settings(L"P1");
        settings.hostName = L"printhost";
        settings.portNumber = L"5515";
        PrinterListData list;
        list.assign(L"stale\n\n\n");
        EXPECT_EQ(list.fetch(settings, channel), c.printers > 0) << c.what;
        EXPECT_EQ(list.printers().size(), c.printers) << c.what;
        EXPECT_EQ(spooler.trace.at(1), L"GetPrinterList printhost\\5515") << c.what;
        const bool failed = c.printers == 0;
        ASSERT_EQ(boxes.boxes().size(), failed ? 1u : 0u) << c.what;
        ASSERT_EQ(log.events().size(), failed ? 1u : 0u) << c.what;
        if (failed) {
            EXPECT_EQ(boxes.boxes()[0].text, c.shown) << c.what;
            EXPECT_EQ(log.events()[0].eventId, 0xCFFE0001u);
        }
    }
}

}  // namespace

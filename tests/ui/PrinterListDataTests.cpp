#include "PrinterListData.h"

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

}  // namespace

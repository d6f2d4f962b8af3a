// The options dialog: its address lines, and the dialog itself shown from
// the English library and driven like a user would.
#include "PngFiles.h"
#include "QRXOptionsDialog.h"
#include "Recorders.h"
#include "ResourceIds.h"
#include "WindowDriver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

namespace {

const bool englishResources = (qrxtest::useEnglishResources(), true);

using qrxtest::runScripted;
using qrxtest::WindowDriver;

constexpr wchar_t kCaption[] = L"Prentova Port Monitor Options";

TEST(OptionsAddress, SplitsIntoFourLinesAndJoinsWithThreeLineFeeds) {
    struct Case {
        const wchar_t* stored;
        AddressLines shown;
        const wchar_t* written;  // by OK without changes
    };
    const Case cases[] = {
        {L"A", {L"A", L"", L"", L""}, L"A\n\n\n"},
        {L"A\nB", {L"A", L"B", L"", L""}, L"A\nB\n\n"},
        {L"", {L"", L"", L"", L""}, L"\n\n\n"},
        {L"A\n\nC\n", {L"A", L"", L"C", L""}, L"A\n\nC\n"},
        {L"A\nB\nC\nD", {L"A", L"B", L"C", L"D"}, L"A\nB\nC\nD"},
        // More than four lines: the surplus stays in the last line.
        {L"A\nB\nC\nD\nE\nF", {L"A", L"B", L"C", L"D E F"}, L"A\nB\nC\nD E F"},
        {L"A\r\nB", {L"A\r", L"B", L"", L""}, L"A\r\nB\n\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "address of " << std::count(c.stored, c.stored + wcslen(c.stored), L'\n') + 1
                                        << " lines");
        AddressLines shown = splitAddress(c.stored);
        EXPECT_EQ(shown, c.shown);
        std::wstring written = joinAddress(shown);
        EXPECT_EQ(written, c.written);
        EXPECT_EQ(std::count(written.begin(), written.end(), L'\n'), 3);
        EXPECT_EQ(splitAddress(written), shown) << "what OK wrote reads back differently";
    }
}

PortOptions sampleOptions() {
    PortOptions options(L"QRX1:");
    options.address = L"12 Engine Street\nFloor 4\nLondon\nUnited Kingdom";
    options.building = L"North Wing";
    options.department = L"Analytical Engines";
    options.jobAttributes = L"copies=2 duplex=long";
    options.name = L"Ada Lovelace";
    options.promptFlag = 1;
    options.room = L"4.12";
    return options;
}

void expectSameOptions(const PortOptions& actual, const PortOptions& expected) {
    EXPECT_EQ(actual.address, expected.address);
    EXPECT_EQ(actual.building, expected.building);
    EXPECT_EQ(actual.department, expected.department);
    EXPECT_EQ(actual.jobAttributes, expected.jobAttributes);
    EXPECT_EQ(actual.name, expected.name);
    EXPECT_EQ(actual.portName, expected.portName);
    EXPECT_EQ(actual.promptFlag, expected.promptFlag);
    EXPECT_EQ(actual.room, expected.room);
}

struct EditField {
    int controlId;
    size_t limit;
};
const EditField kEdits[] = {
    {IDC_OPT_NAME, 60},      {IDC_OPT_DEPARTMENT, 60}, {IDC_OPT_ROOM, 60},      {IDC_OPT_BUILDING, 60},
    {IDC_OPT_ADDRESS_1, 60}, {IDC_OPT_ADDRESS_2, 60},  {IDC_OPT_ADDRESS_3, 60}, {IDC_OPT_ADDRESS_4, 60},
    {IDC_OPT_JOB_ATTRIBUTES, 2048},
};

// Letters a, b, c... one per edit, ten more of them than the edit takes.
std::wstring overlongFor(size_t edit) { return std::wstring(kEdits[edit].limit + 10, static_cast<wchar_t>(L'a' + edit)); }
std::wstring cutFor(size_t edit) { return overlongFor(edit).substr(0, kEdits[edit].limit); }

std::wstring screenshotPath() {
    std::wstring folder = QRX_TEST_SCREENSHOTS_DIR;
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder + L"\\options-dialog.png";
}

TEST(OptionsDialog, ShowsTheRecordCutsPastesToTheLimitsAndWritesEveryFieldOnOk) {
    PortOptions options = sampleOptions();
    QRXOptionsDialog dialog(options);
    INT_PTR result = runScripted([&] { return dialog.runModal(); }, [&](WindowDriver& driver) {
        HWND window = driver.waitForWindow(kCaption);
        const std::pair<int, const wchar_t*> shown[] = {
            {IDC_OPT_NAME, L"Ada Lovelace"},          {IDC_OPT_DEPARTMENT, L"Analytical Engines"},
            {IDC_OPT_ROOM, L"4.12"},                  {IDC_OPT_BUILDING, L"North Wing"},
            {IDC_OPT_ADDRESS_1, L"12 Engine Street"}, {IDC_OPT_ADDRESS_2, L"Floor 4"},
            {IDC_OPT_ADDRESS_3, L"London"},           {IDC_OPT_ADDRESS_4, L"United Kingdom"},
            {IDC_OPT_JOB_ATTRIBUTES, L"copies=2 duplex=long"},
        };
        for (const auto& [id, text] : shown) EXPECT_EQ(driver.text(window, id), text) << "control " << id;
        EXPECT_TRUE(driver.isChecked(window, IDC_OPT_PROMPT));
        EXPECT_TRUE(GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_TOPMOST);
        EXPECT_EQ(GetForegroundWindow(), window);
        EXPECT_EQ(WindowDriver::focus(window), GetDlgItem(window, IDOK)) << "the focus is not on OK";

        std::wstring png = screenshotPath();
        driver.saveScreenshot(window, png);
        RECT frame;
        GetWindowRect(window, &frame);
        qrxtest::Pixels picture = qrxtest::loadPng(png);
        EXPECT_EQ(picture.width, static_cast<UINT>(frame.right - frame.left));
        EXPECT_EQ(picture.height, static_cast<UINT>(frame.bottom - frame.top));
        std::set<uint32_t> colours(picture.bgra.begin(), picture.bgra.end());
        EXPECT_GT(colours.size(), 8u) << "the screenshot is (nearly) blank";

        for (size_t edit = 0; edit < std::size(kEdits); ++edit) {
            driver.paste(window, kEdits[edit].controlId, overlongFor(edit));
            EXPECT_EQ(driver.text(window, kEdits[edit].controlId), cutFor(edit)) << "control " << kEdits[edit].controlId;
        }
        driver.click(window, IDOK);
        driver.waitUntilClosed(window);
    });
    ASSERT_EQ(result, IDOK);
    PortOptions expected(L"QRX1:");
    expected.name = cutFor(0);
    expected.department = cutFor(1);
    expected.room = cutFor(2);
    expected.building = cutFor(3);
    expected.address = cutFor(4) + L"\n" + cutFor(5) + L"\n" + cutFor(6) + L"\n" + cutFor(7);
    expected.jobAttributes = cutFor(8);
    expected.promptFlag = 1;
    expectSameOptions(options, expected);
}

TEST(OptionsDialog, OkWithoutChangesWritesTheAddressWithThreeLineFeeds) {
    struct Case {
        std::wstring stored;
        DWORD flag;
        AddressLines shown;
        std::wstring written;
    };
    // Stored data may hold more lines, and longer ones, than the dialog takes.
    std::wstring longLine(70, L'z');
    const Case cases[] = {
        {L"A", 0, {L"A", L"", L"", L""}, L"A\n\n\n"},
        {L"A\nB\nC\nD\nE\n" + longLine, 1, {L"A", L"B", L"C", L"D E " + longLine}, L"A\nB\nC\nD E " + longLine},
    };
    for (const Case& c : cases) {
        PortOptions options = sampleOptions();
        options.address = c.stored;
        options.promptFlag = c.flag;
        QRXOptionsDialog dialog(options);
        INT_PTR result = runScripted([&] { return dialog.runModal(); }, [&](WindowDriver& driver) {
            HWND window = driver.waitForWindow(kCaption);
            EXPECT_EQ(driver.isChecked(window, IDC_OPT_PROMPT), c.flag != 0);
            const int lines[] = {IDC_OPT_ADDRESS_1, IDC_OPT_ADDRESS_2, IDC_OPT_ADDRESS_3, IDC_OPT_ADDRESS_4};
            for (size_t line = 0; line < 4; ++line) EXPECT_EQ(driver.text(window, lines[line]), c.shown[line]);
            driver.click(window, IDOK);
            driver.waitUntilClosed(window);
        });
        ASSERT_EQ(result, IDOK);
        PortOptions expected = sampleOptions();
        expected.address = c.written;
        expected.promptFlag = c.flag;
        expectSameOptions(options, expected);
    }
}

TEST(OptionsDialog, HelpKeepsItOpenAndCancelOrEscapeLeaveTheRecordUntouched) {
    for (bool escape : {false, true}) {
        SCOPED_TRACE(escape ? "Escape" : "Cancel button");
        PortOptions options = sampleOptions();
        QRXOptionsDialog dialog(options);
        INT_PTR result = runScripted([&] { return dialog.runModal(); }, [&](WindowDriver& driver) {
            HWND window = driver.waitForWindow(kCaption);
            driver.setText(window, IDC_OPT_NAME, L"Someone Else");
            driver.paste(window, IDC_OPT_ADDRESS_2, L"Elsewhere");
            // Help shows nothing here (no help file), and the dialog stays.
            driver.click(window, IDHELP);
            EXPECT_TRUE(IsWindowVisible(window));
            // A queued click after F1 is handled after it: once it shows, F1 was.
            driver.pressKey(window, VK_F1);
            driver.clickWithoutWaiting(window, IDC_OPT_PROMPT);
            driver.waitUntil([&] { return !driver.isChecked(window, IDC_OPT_PROMPT); }, "the check box to clear");
            EXPECT_TRUE(IsWindowVisible(window));
            if (escape)
                driver.pressKey(window, VK_ESCAPE);
            else
                driver.click(window, IDCANCEL);
            driver.waitUntilClosed(window);
        });
        EXPECT_EQ(result, IDCANCEL);
        expectSameOptions(options, sampleOptions());
    }
}

}  // namespace

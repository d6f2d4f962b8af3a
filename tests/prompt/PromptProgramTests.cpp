// The installed prompt program as a process of its own, started as the
// monitor starts it and answered through its real windows.
#include "ChildProcesses.h"
#include "PngFiles.h"
#include "PromptAnswers.h"
#include "Recorders.h"
#include "ResourceIds.h"
#include "StoredPort.h"
#include "SystemErrorText.h"
#include "TestPaths.h"
#include "WindowDriver.h"
#include "WritesDenied.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <set>

namespace {

const bool englishResources = (qrxtest::useEnglishResources(), true);

using qrxtest::ChildProcess;
using qrxtest::StoredPort;
using qrxtest::StoredValue;
using qrxtest::WindowDriver;
using Values = std::map<std::wstring, std::optional<StoredValue>>;

constexpr wchar_t kOptionsCaption[] = L"Prentova Port Monitor Options";
constexpr wchar_t kProgramName[] = L"QRXPromptApp.exe";
constexpr std::chrono::seconds kExitLimit{15};

const std::wstring kProgram = qrxtest::systemFilePath(kProgramName);

// Started as the monitor starts it: the program's path, one blank, the port name.
std::wstring commandLineFor(const std::wstring& program, const std::wstring& port) { return program + L" " + port; }

WindowDriver driverFor(const ChildProcess& run) {
    WindowDriver driver;
    driver.searchProcess(run.id());
    return driver;
}

StoredValue text(const std::wstring& value) {
    StoredValue stored{REG_SZ, std::vector<BYTE>((value.size() + 1) * sizeof(wchar_t))};
    std::memcpy(stored.bytes.data(), value.c_str(), stored.bytes.size());
    return stored;
}

Values optionValuesOf(const StoredPort& port) {
    Values values;
    for (const wchar_t* name : {L"Addr", L"Bld", L"Dept", L"Attr", L"Name", L"Room", L"Show"})
        values[name] = port.raw(name);
    return values;
}

// Presses OK and returns the text of the error box that follows, closing it.
std::wstring okThenErrorBox(const WindowDriver& driver, HWND dialog) {
    driver.click(dialog, IDOK);
    auto box = driver.waitForMessageBox(L"Prentova Port Monitor");
    driver.closeMessageBox(box);
    return box.text;
}

std::wstring registryError(const wchar_t* call, const StoredPort& port, DWORD code) {
    return std::wstring(L"VAV5050E Registry error: ") + call + L" failed.\nname: " + port.path() + L"\nerror code: " +
           std::to_wstring(code) + L"\n" + systemErrorText(code);
}

TEST(PromptProgram, OpensThePortNamedByTheRestOfTheLineShowsItsOptionsAndCancelChangesNothing) {
    StoredPort port(L"two words");
    const std::pair<const wchar_t*, const wchar_t*> stored[] = {
        {L"Addr", L"12 Engine Street\nLondon"}, {L"Bld", L"North Wing"}, {L"Dept", L"Analytical Engines"},
        {L"Attr", L"copies=2"},                 {L"Name", L"Ada Lovelace"}, {L"Room", L"4.12"}};
    for (const auto& [name, value] : stored) port.set(name, value);
    port.set(L"Show", DWORD{1});
    const Values before = optionValuesOf(port);

    // By its bare name, as a user may start it.
    ChildProcess run(kProgram, L"QRXPromptApp.exe two words");
    WindowDriver driver = driverFor(run);
    HWND dialog = driver.waitForWindow(kOptionsCaption);
    const std::pair<int, const wchar_t*> shown[] = {
        {IDC_OPT_NAME, L"Ada Lovelace"},  {IDC_OPT_DEPARTMENT, L"Analytical Engines"}, {IDC_OPT_ROOM, L"4.12"},
        {IDC_OPT_BUILDING, L"North Wing"}, {IDC_OPT_ADDRESS_1, L"12 Engine Street"},   {IDC_OPT_ADDRESS_2, L"London"},
        {IDC_OPT_ADDRESS_3, L""},          {IDC_OPT_JOB_ATTRIBUTES, L"copies=2"}};
    for (const auto& [id, value] : shown) EXPECT_EQ(driver.text(dialog, id), value) << "control " << id;
    EXPECT_TRUE(driver.isChecked(dialog, IDC_OPT_PROMPT));
    EXPECT_TRUE(GetWindowLongPtrW(dialog, GWL_EXSTYLE) & WS_EX_TOPMOST) << "in front of other windows";

    const std::wstring png = std::wstring(QRX_TEST_SCREENSHOTS_DIR) + L"\\prompt-options-dialog.png";
    driver.saveScreenshot(dialog, png);
    const std::vector<uint32_t> pixels = qrxtest::loadPng(png).bgra;
    EXPECT_GT(std::set<uint32_t>(pixels.begin(), pixels.end()).size(), 8u) << "the screenshot is (nearly) blank";

    driver.setText(dialog, IDC_OPT_NAME, L"Someone Else");
    driver.click(dialog, IDC_OPT_PROMPT);
    driver.click(dialog, IDCANCEL);
    EXPECT_EQ(run.waitForExit(kExitLimit), 2u);
    EXPECT_EQ(optionValuesOf(port), before);
}

TEST(PromptProgram, OkWritesTheSevenValuesAsRegSzWithTheirNullAndShowAsADword) {
    StoredPort port(L"QRXPROMPTOK:");
    port.set(L"Addr", L"A");
    port.setRaw(L"Name", REG_EXPAND_SZ, text(L"%USERNAME%").bytes);
    port.set(L"Room", L"12");
    port.set(L"Show", DWORD{0});

    ChildProcess run(kProgram, commandLineFor(kProgram, port.name()));
    WindowDriver driver = driverFor(run);
    HWND dialog = driver.waitForWindow(kOptionsCaption);
    EXPECT_EQ(driver.text(dialog, IDC_OPT_NAME), L"%USERNAME%") << "expandable text, unexpanded";
    EXPECT_EQ(driver.text(dialog, IDC_OPT_ADDRESS_1), L"A");
    EXPECT_FALSE(driver.isChecked(dialog, IDC_OPT_PROMPT));
    driver.setText(dialog, IDC_OPT_BUILDING, L"North");
    driver.click(dialog, IDOK);
    EXPECT_EQ(run.waitForExit(kExitLimit), 0u);

    const Values written{{L"Addr", text(L"A\n\n\n")}, {L"Bld", text(L"North")}, {L"Dept", text(L"")},
                         {L"Attr", text(L"")},        {L"Name", text(L"%USERNAME%")}, {L"Room", text(L"12")},
                         {L"Show", StoredValue{REG_DWORD, {0, 0, 0, 0}}}};
    EXPECT_EQ(optionValuesOf(port), written);
}

// The pipe the monitor gives the program as its standard output.
class AnswerPipe {
public:
    AnswerPipe() {
        SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
        CreatePipe(&read_, &write_, &inheritable, 0);
        SetHandleInformation(read_, HANDLE_FLAG_INHERIT, 0);
    }
    ~AnswerPipe() {
        CloseHandle(read_);
        if (write_) CloseHandle(write_);
    }
    HANDLE writeEnd() const { return write_; }
    // Everything written, once the program has ended.
    std::string readAll() {
        CloseHandle(write_);
        write_ = nullptr;
        std::string bytes;
        char chunk[4096];
        for (DWORD got = 0; ReadFile(read_, chunk, sizeof chunk, &got, nullptr) && got > 0;) bytes.append(chunk, got);
        return bytes;
    }

private:
    HANDLE read_ = nullptr;
    HANDLE write_ = nullptr;
};

TEST(PromptProgram, StartedWithAPipeItSendsTheAnswersOfOkThereAndWritesNothingForThePortItWasNamed) {
    // A port whose name begins with a blank beside the one without it.
    StoredPort plain(L"QRXPX1:");
    plain.set(L"Name", L"Plain port");
    StoredPort blank(L" QRXPX1:");
    blank.set(L"Name", L"Leading blank");
    blank.set(L"Room", L"12");
    const Values plainBefore = optionValuesOf(plain);
    const Values blankBefore = optionValuesOf(blank);

    for (int button : {IDOK, IDCANCEL}) {
        SCOPED_TRACE(button == IDOK ? "OK" : "Cancel");
        AnswerPipe pipe;
        ChildProcess run(kProgram, commandLineFor(kProgram, blank.name()), pipe.writeEnd());
        WindowDriver driver = driverFor(run);
        HWND dialog = driver.waitForWindow(kOptionsCaption);
        EXPECT_EQ(driver.text(dialog, IDC_OPT_NAME), L"Leading blank") << "the options of the port it was named";
        driver.setText(dialog, IDC_OPT_NAME, L"Ann O'Hara");
        driver.setText(dialog, IDC_OPT_ADDRESS_2, L"Springfield");
        driver.click(dialog, button);
        EXPECT_EQ(run.waitForExit(kExitLimit), button == IDOK ? 0u : 2u);
        const std::string sent = pipe.readAll();

        EXPECT_EQ(optionValuesOf(blank), blankBefore) << "the monitor stores the answers, not the program";
        EXPECT_EQ(optionValuesOf(plain), plainBefore);
        if (button == IDCANCEL) {
            EXPECT_EQ(sent, "") << "a cancel sends nothing";
            continue;
        }
        const PromptAnswers answers = PromptAnswers::decode(sent);
        ASSERT_TRUE(answers.wellFormed());
        EXPECT_EQ(answers.ignoredCount(), 0u);
        PortOptions answered(blank.name());
        EXPECT_EQ(answers.applyTo(answered).size(), 7u);
        EXPECT_EQ(answered.name, L"Ann O'Hara");
        EXPECT_EQ(answered.room, L"12");
        EXPECT_EQ(answered.address, L"\nSpringfield\n\n");
    }
}

TEST(PromptProgram, AMissingPortKeyGivesAnEmptyDialogAndOkSaysTheAnswersWereNotStored) {
    StoredPort absent(L"QRXNOKEY:", false);
    ChildProcess run(kProgram, commandLineFor(kProgram, absent.name()));
    WindowDriver driver = driverFor(run);
    HWND dialog = driver.waitForWindow(kOptionsCaption);
    for (int id : {IDC_OPT_NAME, IDC_OPT_ADDRESS_1, IDC_OPT_JOB_ATTRIBUTES}) EXPECT_EQ(driver.text(dialog, id), L"");
    EXPECT_FALSE(driver.isChecked(dialog, IDC_OPT_PROMPT));
    driver.setText(dialog, IDC_OPT_NAME, L"Ann");
    EXPECT_EQ(okThenErrorBox(driver, dialog), registryError(L"RegOpenKeyEx()", absent, ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(run.waitForExit(kExitLimit), 0u) << "the job prints with what is stored";
    EXPECT_FALSE(absent.exists()) << "a missing key is never created";
}

TEST(PromptProgram, AUserWhoMayNotWriteThePortSeesItsOptionsAndOkSaysTheyWereNotStored) {
    StoredPort port(L"QRXREADONLY:");
    port.set(L"Name", L"Ada Lovelace");
    port.set(L"Show", DWORD{1});
    const Values before = optionValuesOf(port);
    qrxtest::WritesDenied denied(port.path());
    HKEY probe = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, port.path().c_str(), 0, KEY_READ | KEY_WRITE, &probe),
              ERROR_ACCESS_DENIED)
        << "Wine does not refuse the writes that the key's access list denies";

    ChildProcess run(kProgram, commandLineFor(kProgram, port.name()));
    WindowDriver driver = driverFor(run);
    HWND dialog = driver.waitForWindow(kOptionsCaption);
    EXPECT_EQ(driver.text(dialog, IDC_OPT_NAME), L"Ada Lovelace") << "the stored options show";
    EXPECT_TRUE(driver.isChecked(dialog, IDC_OPT_PROMPT));
    driver.setText(dialog, IDC_OPT_NAME, L"Someone Else");
    EXPECT_EQ(okThenErrorBox(driver, dialog), registryError(L"RegOpenKeyEx()", port, ERROR_ACCESS_DENIED));
    EXPECT_EQ(run.waitForExit(kExitLimit), 0u);
    EXPECT_EQ(optionValuesOf(port), before);
}

TEST(PromptProgram, WithoutTheLanguageLibraryItEndsAtOnceWith0AndShowsNothing) {
    StoredPort port(L"QRXNOTEXTS:");
    port.set(L"Name", L"Ada Lovelace");
    const Values before = optionValuesOf(port);
    qrxtest::ScratchFolder alone(L"prompt-alone");
    const std::wstring program = alone.file(kProgramName);
    ASSERT_TRUE(CopyFileW(qrxtest::deliverablePath(kProgramName).c_str(), program.c_str(), FALSE));
    qrxtest::SystemFileAside library(L"QRXPM1033U.dll");

    ChildProcess run(program, commandLineFor(program, port.name()));
    // A window would wait for an answer: an exit without one shows that none was shown.
    EXPECT_EQ(run.waitForExit(kExitLimit), 0u);
    EXPECT_EQ(optionValuesOf(port), before);
}

}  // namespace

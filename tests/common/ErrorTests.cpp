#include "ErrorBuilders.h"
#include "ErrorCapture.h"
#include "EventIds.h"
#include "ModuleState.h"
#include "Recorders.h"
#include "ResourceIds.h"
#include "ResourceStrings.h"
#include "RuntimeError.h"
#include "SystemErrorText.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

#include <functional>
#include <sstream>
#include <vector>

namespace {

const bool englishResources = (qrxtest::useEnglishResources(), true);

using qrxtest::thrownError;

std::vector<std::wstring> lines(const std::wstring& text) {
    std::vector<std::wstring> result;
    std::wistringstream in(text);
    for (std::wstring line; std::getline(in, line);) result.push_back(line);
    return result;
}

TEST(ErrorBuilders, CallFailedHasNoNameLine) {
    RuntimeError error = thrownError([] { throwCallFailed(L"GetJob()", 0); });
    EXPECT_EQ(error.message(), L"GetJob() failed.\nerror code: 0\n");
    EXPECT_EQ(error.code(), 0u);
}

TEST(ErrorBuilders, CallFailedForNamesTheObjectAndEndsWithTheSystemText) {
    RuntimeError error = thrownError([] { throwCallFailedFor(L"OpenPrinter()", L"Office", ERROR_ACCESS_DENIED); });
    std::wstring system = systemErrorText(ERROR_ACCESS_DENIED);
    ASSERT_FALSE(system.empty());
    EXPECT_EQ(error.message(), L"OpenPrinter() failed.\nname: Office\nerror code: 5\n" + system);
    EXPECT_EQ(error.code(), 5u);
}

TEST(ErrorBuilders, RegistryErrorNamesTheKey) {
    RuntimeError error = thrownError([] { throwRegistryError(L"fpOpenKey()", L"Ports\\P1", ERROR_FILE_NOT_FOUND); });
    EXPECT_EQ(error.message(), L"VAV5050E Registry error: fpOpenKey() failed.\nname: Ports\\P1\nerror code: 2\n" +
                                   systemErrorText(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(error.code(), 2u);
}

TEST(ErrorBuilders, CommunicationErrorNamesThePortHostLpdPortAndQueueBeforeTheCode) {
    const std::wstring queue = L"PRT1";
    const std::wstring place = serverPlace(L"QRX1:", L"printhost", L"515", &queue);
    RuntimeError error = thrownError([&] { throwCommunicationError(L"socket", place, 10061); });
    std::vector<std::wstring> pieces = lines(error.message());
    ASSERT_GE(pieces.size(), 5u);
    EXPECT_EQ(pieces[0], L"VAV5053E Communication error: socket failed.");
    EXPECT_EQ(pieces[1], L"port: QRX1:");
    EXPECT_EQ(pieces[2], L"host: printhost, port 515");
    EXPECT_EQ(pieces[3], L"queue: PRT1");
    EXPECT_EQ(pieces[4], L"error code: 10061");
    EXPECT_EQ(error.message().substr(error.message().find(L"10061\n") + 6), systemErrorText(10061));
    EXPECT_EQ(error.code(), 10061u);
    EXPECT_EQ(serverPlace(L"", L"printhost", L"515", nullptr), L"host: printhost, port 515") << "a listing's place";
}

TEST(ErrorBuilders, PortListErrorNamesTheLevel) {
    RuntimeError error = thrownError([] { throwPortListError(3, ERROR_INVALID_LEVEL); });
    EXPECT_EQ(error.message(),
              L"VAV5054E Port list error.\nlevel: 3\nerror code: 124\n" + systemErrorText(ERROR_INVALID_LEVEL));
    EXPECT_EQ(error.code(), 124u);
}

TEST(ErrorBuilders, TheServersAnswersCarryTheirCodesAndNameTheStepAndThePlace) {
    const std::wstring place = L"host: h, port 1";
    const std::wstring after = L"\nstep: the end of the data\n" + place;
    struct Case {
        std::function<void()> raise;
        std::wstring message;
        DWORD code;
    };
    const Case cases[] = {
        {[&] { throwServerClosed(IDS_STEP_END_OF_DATA, place); },
         L"VAV5052E The Prentova Server LPD prematurely closed the connection." + after, 1906},
        {[&] { throwProtocolError(IDS_STEP_END_OF_DATA, place); }, L"VAV5051E Communication protocol error." + after,
         0},
        {[&] { throwServerRefusal(L"VAV001E no", 1801, IDS_STEP_END_OF_DATA, place); }, L"VAV001E no" + after, 1801},
        {[&] { throwServerRefusal(L"", 1803, IDS_STEP_END_OF_DATA, place); },
         L"VAV5060E The Prentova Server refused the job without a message." + after, 1803},
    };
    for (const Case& c : cases) {
        RuntimeError error = thrownError(c.raise);
        EXPECT_EQ(error.message(), c.message);
        EXPECT_EQ(error.code(), c.code);
    }
}

TEST(ErrorBuilders, CodesAreSignedDecimal) {
    RuntimeError error = thrownError([] { throwCallFailed(L"x()", 0x80004005); });
    EXPECT_EQ(lines(error.message())[1], L"error code: -2147467259");
}

TEST(ErrorBuilders, TemplatesWithoutTheLibraryLeaveEmptyLines) {
    HMODULE library = module::resources();
    module::setResources(nullptr);
    RuntimeError error = thrownError([] { throwCallFailedFor(L"SetJob()", L"P", 0); });
    module::setResources(library);
    EXPECT_EQ(error.message(), L"\n\n\n");
}

TEST(FillTemplate, ReplacesEveryMarkerOnceAndNothingElse) {
    EXPECT_EQ(fillTemplate(L"%1 and %1, 100%", L"x"), L"x and x, 100%");
    EXPECT_EQ(fillTemplate(L"host: %1, port %2", L"h%2", L"515"), L"host: h%2, port 515");
    EXPECT_EQ(fillTemplate(L"%2 stays", L"x"), L"%2 stays");
}

TEST(SystemErrorText, IsTheSystemsTextOrNothing) {
    EXPECT_EQ(systemErrorText(0), L"");
    std::wstring denied = systemErrorText(ERROR_ACCESS_DENIED);
    ASSERT_GE(denied.size(), 2u);
    EXPECT_EQ(denied.substr(denied.size() - 2), L"\r\n");
    EXPECT_EQ(systemErrorText(0x2ABCDEF1), L"");
}

TEST(SystemErrorText, DropsTextsThatNeedInserts) {
    wchar_t* raw = nullptr;
    DWORD length = FormatMessageW(
        FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
        ERROR_INVALID_ORDINAL, 0, reinterpret_cast<LPWSTR>(&raw), 0, nullptr);
    ASSERT_GT(length, 0u);
    std::wstring text(raw, length);
    LocalFree(raw);
    ASSERT_NE(text.find(L"%1"), std::wstring::npos) << "expected a system text with inserts";
    EXPECT_EQ(systemErrorText(ERROR_INVALID_ORDINAL), L"");
}

TEST(ReportEvent, SourceFollowsTheEventId) {
    qrxtest::RecordingEventLog log;
    RuntimeError error(L"line one\nline two", 5);
    error.reportEvent(EVENT_SERVER_SYSTEM_ERROR);
    error.reportEvent(EVENT_SERVER_LPD_ERROR);
    error.reportEvent(EVENT_UI_SYSTEM_ERROR);
    auto events = log.events();
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[0].source, L"Prentova Port Monitor Server");
    EXPECT_EQ(events[1].source, L"Prentova Port Monitor UI");
    EXPECT_EQ(events[2].source, L"Prentova Port Monitor UI");
    for (const auto& event : events) EXPECT_EQ(event.message, L"line one\nline two");
    EXPECT_EQ(events[0].eventId, 0xCFFF0003u);
    EXPECT_EQ(events[2].eventId, 0xCFFE0001u);
}

TEST(ReportEvent, AnInsertTooLongForTheLogIsCutNeverBetweenASurrogatePair) {
    const std::wstring fits(kLongestEventInsert, L'a');
    const std::wstring pairAtTheLimit = std::wstring(kLongestEventInsert - 1, L'b') + L"\U0001F5A8" + L"tail";
    struct Case {
        std::wstring message;
        std::wstring logged;
    };
    const Case cases[] = {
        {fits, fits},
        {fits + L"cut", fits},
        {pairAtTheLimit, pairAtTheLimit.substr(0, kLongestEventInsert - 1)},
    };
    for (const Case& c : cases) {
        qrxtest::RecordingEventLog log;
        RuntimeError(c.message, 1).reportEvent(EVENT_SERVER_SYSTEM_ERROR);
        ASSERT_EQ(log.events().size(), 1u);
        EXPECT_TRUE(log.events()[0].message == c.logged) << log.events()[0].message.size();
    }
}

// Counts the instance start-ups and exits that the DLL entry point runs.
class CountingApplication : public ModuleApplication {
public:
    bool initInstance() override { return ++starts, true; }
    void exitInstance() override { ++exits; }
    int starts = 0, exits = 0;
};

TEST(ModuleEntry, ExitCleansUpOnUnloadButNotAtProcessEnd) {
    struct Case {
        DWORD reason;
        LPVOID reserved;
        int starts, exits;
    };
    const Case cases[] = {
        {DLL_PROCESS_ATTACH, nullptr, 1, 0},
        {DLL_PROCESS_DETACH, nullptr, 0, 1},                              // FreeLibrary
        {DLL_PROCESS_DETACH, reinterpret_cast<LPVOID>(1), 0, 0},          // process termination
        {DLL_THREAD_ATTACH, nullptr, 0, 0},
    };
    for (const Case& c : cases) {
        CountingApplication application;
        EXPECT_TRUE(module::runEntry(nullptr, c.reason, c.reserved));
        EXPECT_EQ(application.starts, c.starts) << c.reason;
        EXPECT_EQ(application.exits, c.exits) << c.reason;
    }
}

// The monitor's boxes have no owner and the service style; a box shown for
// a window (the innermost owner) belongs to it and has no service style.
TEST(MessageBoxes, ErrorsAndWarningsUseTheirStylesTheMonitorCaptionAndTheirOwner) {
    const HWND spoolerWindow = reinterpret_cast<HWND>(0x1010), dialog = reinterpret_cast<HWND>(0x2020);
    const struct {
        const char* title;
        std::vector<HWND> owners;  // scopes, outermost first
        HWND owner;
        UINT errorStyle, warningStyle;
    } cases[] = {
        {"the monitor", {}, nullptr, 0x00211010, 0x00211030},
        {"the desktop, no window", {nullptr}, nullptr, 0x00011010, 0x00011030},
        {"the spooler's window", {spoolerWindow}, spoolerWindow, 0x00011010, 0x00011030},
        {"a dialog over it", {spoolerWindow, dialog}, dialog, 0x00011010, 0x00011030},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.title);
        qrxtest::RecordingMessageBoxes boxes;
        {
            std::vector<std::unique_ptr<MessageBoxOwner>> scopes;
            for (HWND owner : c.owners) scopes.push_back(std::make_unique<MessageBoxOwner>(owner));
            RuntimeError(L"broken", 1).showMessage();
            showWarning(RuntimeWarning(L"fix it"));
            while (!scopes.empty()) scopes.pop_back();  // innermost first, as on a stack
        }
        RuntimeError(L"after", 1).showMessage();
        auto shown = boxes.boxes();
        ASSERT_EQ(shown.size(), 3u);
        EXPECT_EQ(shown[0].text, L"broken");
        EXPECT_EQ(shown[0].caption, L"Prentova Port Monitor");
        EXPECT_EQ(shown[0].style, c.errorStyle);
        EXPECT_EQ(shown[0].owner, c.owner);
        EXPECT_EQ(shown[1].text, L"fix it");
        EXPECT_EQ(shown[1].style, c.warningStyle);
        EXPECT_EQ(shown[1].owner, c.owner);
        EXPECT_EQ(shown[2].style, 0x00211010u) << "the scopes are gone";
        EXPECT_EQ(shown[2].owner, nullptr);
    }
}

TEST(LPDRuntimeError, IsCaughtAsARuntimeErrorWithTheServersText) {
    try {
        throw LPDRuntimeError(L"VAV1234E queue full", 1804);
    } catch (const RuntimeError& error) {
        EXPECT_EQ(error.message(), L"VAV1234E queue full");
        EXPECT_EQ(error.code(), 1804u);
        EXPECT_NE(dynamic_cast<const LPDRuntimeError*>(&error), nullptr);
    }
}

}  // namespace

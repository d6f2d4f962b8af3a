// The add, configure and delete actions against stand-ins for the spooler and
// the dialogs: result, last error, messages, events and the spooler calls
// (the channel closed on every path) of each path.
#include "EventIds.h"
#include "PortActions.h"
#include "Recorders.h"
#include "StandIns.h"
#include "SystemErrorText.h"

#include <gtest/gtest.h>

namespace {

using namespace qrxtest;
using Lines = std::vector<std::wstring>;
using Fault = StandInSpooler::Fault;

const bool englishResources = (useEnglishResources(), true);

Lines join(std::initializer_list<Lines> parts) {
    Lines all;
    for (const Lines& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

const wchar_t* const kMonitor = L"Prentova Port Monitor";
const Lines kOpenMonitor = {L"open \\\\print01\\,XcvMonitor Prentova Port Monitor"};
const Lines kOpenPort = {L"open \\\\print01\\,XcvPort P1:"};
const Lines kAdd = {L"AddPort P1:\\0"}, kDelete = {L"DeletePort P1:\\0"}, kClose = {L"close"};
// The stand-in holds a host, a printer and the flag, no port number.
const Lines kQueries = {L"GetHostName P1:",    L"GetHostName P1:",       L"GetPortNo P1:",        L"GetPrinterName P1:",
                        L"GetPrinterName P1:", L"GetUnattendedFlag P1:", L"GetUnattendedFlag P1:"};
const Lines kUpdates = {L"SetDeviceType P1:\\Printer", L"SetHostName P1:\\edited.example", L"SetPortNo P1:\\515",
                        L"SetPrinterName P1:\\", L"SetUnattendedFlag P1:\\false"};
// A change that fails after the host was written writes the host read before.
const Lines kHostPutBack = {L"SetHostName P1:\\host.example"};
// The host is written, and then cannot be written back.
const std::map<std::wstring, std::deque<XcvAnswer>> kBadHost = {{L"SetHostName", {{0}, {5, 0, {}, 5}}}};
Lines first(const Lines& lines, size_t count) { return Lines(lines.begin(), lines.begin() + count); }

enum class Action { Add, Configure, Delete };

TEST(PortActions, EachPathHasItsResultLastErrorMessagesAndClosesTheChannel) {
    const std::wstring sys2 = systemErrorText(2), sys5 = systemErrorText(5);
    const Fault noOpen{L"OpenPrinterW", 0, 1801}, noClose{L"ClosePrinter", 0, 6};
    const Lines openFailed{kOpenPrinterFailed}, closeFailed{kClosePrinterFailed}, deleted{kPortDeleted};
    enum Dialogs { Ok, NameCancelled, ConfigureCancelled };
    const struct {
        const char* title;
        Action action;
        Dialogs dialogs;
        std::optional<Fault> fault;
        BOOL result;
        DWORD lastError;  // 0: not looked at
        Lines boxes, events, trace;
        std::map<std::wstring, std::deque<XcvAnswer>> commandScript = {};
    } cases[] = {
        {"add: name cancelled", Action::Add, NameCancelled, {}, FALSE, 1223, {}, {}, join({kOpenMonitor, kClose})},
        {"add: configured", Action::Add, Ok, {}, TRUE, 0, {}, {},
         join({kOpenMonitor, kAdd, kQueries, kUpdates, kClose})},
        {"add: configure cancelled", Action::Add, ConfigureCancelled, {}, FALSE, 1223, deleted, deleted,
         join({kOpenMonitor, kAdd, kQueries, kDelete, kClose})},
        {"add: AddPort refused", Action::Add, Ok, Fault{L"AddPort", 5, 0}, FALSE, 5, {sys5}, {sys5},
         join({kOpenMonitor, kAdd, kClose})},
        {"add: a query fails", Action::Add, Ok, Fault{L"GetPrinterName", 2, 0}, FALSE, 1223, {sys2, kPortDeleted},
         deleted, join({kOpenMonitor, kAdd, first(kQueries, 4), kDelete, kClose})},
        {"add: an update fails", Action::Add, Ok, Fault{L"SetPortNo", 3537, 183}, FALSE, 1223,
         {kPortExists + L"\n" + kSettingsPutBack, kPortDeleted}, deleted,
         join({kOpenMonitor, kAdd, kQueries, first(kUpdates, 3), kHostPutBack, kDelete, kClose})},
        {"add: DeletePort refused", Action::Add, ConfigureCancelled, Fault{L"DeletePort", 5, 0}, FALSE, 5, {sys5},
         {sys5}, join({kOpenMonitor, kAdd, kQueries, kDelete, kClose})},
        {"add: no channel", Action::Add, Ok, noOpen, FALSE, 1801, openFailed, openFailed, kOpenMonitor},
        {"add: close fails", Action::Add, Ok, noClose, FALSE, 6, closeFailed, closeFailed,
         join({kOpenMonitor, kAdd, kQueries, kUpdates, kClose})},
        {"add: close after cancel fails", Action::Add, NameCancelled, noClose, FALSE, 6, closeFailed, closeFailed,
         join({kOpenMonitor, kClose})},
        {"configure: configured", Action::Configure, Ok, {}, TRUE, 0, {}, {},
         join({kOpenPort, kQueries, kUpdates, kClose})},
        {"configure: cancelled", Action::Configure, ConfigureCancelled, {}, TRUE, 1223, {}, {},
         join({kOpenPort, kQueries, kClose})},
        {"configure: a query fails", Action::Configure, Ok, Fault{L"GetHostName", 2, 0}, FALSE, 2, {sys2}, {},
         join({kOpenPort, first(kQueries, 1), kClose})},
        {"configure: the first change fails", Action::Configure, Ok, Fault{L"SetHostName", 3537, 0}, FALSE, 3537,
         {kPortExists + L"\n" + kSettingsPutBack}, {}, join({kOpenPort, kQueries, first(kUpdates, 2), kClose})},
        {"configure: a later update fails", Action::Configure, Ok, Fault{L"SetPrinterName", 5, 0}, FALSE, 5,
         {sys5 + kSettingsPutBack}, {}, join({kOpenPort, kQueries, first(kUpdates, 4), kHostPutBack, kClose})},
        {"configure: a setting cannot be put back", Action::Configure, Ok, Fault{L"SetUnattendedFlag", 5, 0}, FALSE,
         5, {sys5 + kSettingsNotPutBack + L"SetHostName"}, {},
         join({kOpenPort, kQueries, kUpdates, kHostPutBack, {L"SetPrinterName P1:\\PRT1"}, kClose}), kBadHost},
        {"configure: no channel", Action::Configure, Ok, noOpen, FALSE, 1801, openFailed, openFailed, kOpenPort},
        {"configure: close fails", Action::Configure, Ok, noClose, FALSE, 6, closeFailed, closeFailed,
         join({kOpenPort, kQueries, kUpdates, kClose})},
        {"delete: deleted", Action::Delete, Ok, {}, TRUE, 0, {}, {}, join({kOpenPort, kDelete, kClose})},
        {"delete: refused", Action::Delete, Ok, Fault{L"DeletePort", 2, 0}, FALSE, 2, {sys2}, {},
         join({kOpenPort, kDelete, kClose})},
        {"delete: refused, a last error", Action::Delete, Ok, Fault{L"DeletePort", 3537, 170}, FALSE, 170,
         {kPortExists}, {}, join({kOpenPort, kDelete, kClose})},
        {"delete: close fails", Action::Delete, Ok, noClose, FALSE, 6, closeFailed, closeFailed,
         join({kOpenPort, kDelete, kClose})},
    };
    for (const auto& c : cases) {
        RecordingMessageBoxes boxes;
        RecordingEventLog events;
        StandInSpooler spooler;
        spooler.stored = {{L"GetHostName", bytesOf(L"host.example")},
                          {L"GetPrinterName", bytesOf(L"PRT1")},
                          {L"GetUnattendedFlag", {1, 0, 0, 0}}};
        spooler.fault = c.fault;
        spooler.commandScript = c.commandScript;
        StandInDialogs dialogs;
        if (c.dialogs != NameCancelled) dialogs.newPortName = L"P1:";
        dialogs.configureOk = c.dialogs != ConfigureCancelled;

        const wchar_t* server = L"\\\\print01";
        const HWND spoolerWindow = reinterpret_cast<HWND>(0x3030);
        const BOOL result =
            c.action == Action::Add         ? actions::addPort(dialogs, server, spoolerWindow, kMonitor)
            : c.action == Action::Configure ? actions::configurePort(dialogs, server, spoolerWindow, L"P1:")
                                            : actions::deletePort(server, spoolerWindow, L"P1:");
        const DWORD lastError = GetLastError();

        EXPECT_EQ(result, c.result) << c.title;
        EXPECT_EQ(c.lastError ? lastError : 0, c.lastError) << c.title;
        // Boxes and events of another kind are marked: a box is an error box
        // owned by the spooler's window, without the service style.
        Lines shown, logged;
        for (const RecordedBox& box : boxes.boxes()) {
            const bool owned = box.owner == spoolerWindow && box.style == (kErrorBoxStyle & ~MB_SERVICE_NOTIFICATION);
            shown.push_back(box.text + (owned ? L"" : L"!"));
        }
        for (const RecordedEvent& event : events.events()) {
            const bool uiError = event.eventId == EVENT_UI_SYSTEM_ERROR && event.source == kUIEventSource;
            logged.push_back(event.message + (uiError ? L"" : L"!"));
        }
        EXPECT_EQ(shown, c.boxes) << c.title;
        EXPECT_EQ(logged, c.events) << c.title;
        EXPECT_EQ(spooler.trace, c.trace) << c.title;
        EXPECT_EQ(dialogs.channelOpen, std::vector<bool>(dialogs.channelOpen.size(), true)) << c.title;
        for (const PortSettings& read : dialogs.shown) {
            EXPECT_EQ(read.portName + read.hostName + read.portNumber + read.printerName, L"P1:host.example515PRT1");
            EXPECT_EQ(read.unattended, 1u) << c.title;
        }
    }
}

}  // namespace

// The dialog layer with real windows: probes on templates of the English
// library, driven from a second thread.
#include "Dialog.h"
#include "EventIds.h"
#include "Recorders.h"
#include "ResourceIds.h"
#include "RuntimeError.h"
#include "WindowDriver.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>

namespace {

const bool englishResources = (qrxtest::useEnglishResources(), true);

using qrxtest::runScripted;
using qrxtest::WindowDriver;

constexpr wchar_t kAddPortCaption[] = L"Prentova Port";
constexpr wchar_t kConfigureCaption[] = L"Prentova Port Configuration";
constexpr wchar_t kBoxCaption[] = L"Prentova Port Monitor";

enum class Failure { None, Warning, Error, Other };

// The add-port template with its edit bound to a field. It counts the edit's
// update notifications and the help requests; help puts the fields back into
// the controls (as a dialog does after changing its fields); OK throws what
// the test asks for.
class ProbeDialog : public Dialog {
public:
    explicit ProbeDialog(std::wstring name) : Dialog(IDD_ADD_PORT, nullptr), name_(std::move(name)) {
        bindText(IDC_ADD_PORT_NAME, name_);
        onCommand(IDC_ADD_PORT_NAME, EN_UPDATE, [this] { ++updates; });
    }
    const std::wstring& name() const { return name_; }

    std::atomic<int> updates{0};
    std::atomic<int> helps{0};
    std::atomic<Failure> failure{Failure::None};

protected:
    void onHelp() override {
        ++helps;
        putFieldsIntoControls();
    }
    void onOk() override {
        switch (failure.load()) {
        case Failure::Warning:
            throw RuntimeWarning(L"probe warning");
        case Failure::Error:
            throw RuntimeError(L"probe error", ERROR_ACCESS_DENIED);
        case Failure::Other:
            throw std::runtime_error("probe");
        case Failure::None:
            Dialog::onOk();
        }
    }

private:
    std::wstring name_;
};

TEST(Dialog, FillsWithoutNotifyingRoutesHelpAndKeepsOpenOnEveryFailure) {
    qrxtest::RecordingEventLog events;
    ProbeDialog dialog(L"first");
    INT_PTR result = runScripted([&] { return dialog.runModal(); }, [&](WindowDriver& driver) {
        HWND window = driver.waitForWindow(kAddPortCaption);
        EXPECT_EQ(driver.text(window, IDC_ADD_PORT_NAME), L"first");
        EXPECT_EQ(dialog.updates, 0) << "filling the controls reached a handler";
        // The edit does notify its own changes: the count above means something.
        driver.setText(window, IDC_ADD_PORT_NAME, L"typed");
        EXPECT_EQ(dialog.updates, 1);

        driver.click(window, IDHELP);
        EXPECT_EQ(dialog.helps, 1);
        EXPECT_EQ(driver.text(window, IDC_ADD_PORT_NAME), L"first") << "help did not put the field back";
        EXPECT_EQ(dialog.updates, 1) << "putting the fields back reached a handler";
        driver.pressKey(window, VK_F1);
        driver.waitUntil([&] { return dialog.helps == 2; }, "help after F1");
        driver.rightClick(window, {3, 3});
        EXPECT_EQ(dialog.helps, 3);
        EXPECT_TRUE(IsWindowVisible(window));

        struct Case {
            Failure failure;
            const wchar_t* box;  // nullptr: no box
        };
        for (Case c : {Case{Failure::Warning, L"probe warning"}, Case{Failure::Error, L"probe error"},
                       Case{Failure::Other, nullptr}}) {
            dialog.failure = c.failure;
            if (c.box) {
                driver.clickWithoutWaiting(window, IDOK);
                qrxtest::MessageBoxContent box = driver.waitForMessageBox(kBoxCaption);
                EXPECT_EQ(box.text, c.box);
                driver.closeMessageBox(box);
            } else {
                driver.click(window, IDOK);
                EXPECT_EQ(WindowDriver::openWindows(), std::vector<HWND>{window}) << "a box was shown";
            }
            EXPECT_TRUE(IsWindowVisible(window)) << "the dialog closed after a failure";
        }
        dialog.failure = Failure::None;
        driver.setText(window, IDC_ADD_PORT_NAME, L"last");
        driver.click(window, IDOK);
        driver.waitUntilClosed(window);
    });
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(dialog.name(), L"last");
    // Only the error was logged, as the UI's system error.
    std::vector<qrxtest::RecordedEvent> logged = events.events();
    ASSERT_EQ(logged.size(), 1u);
    EXPECT_EQ(logged[0].eventId, EVENT_UI_SYSTEM_ERROR);
    EXPECT_EQ(logged[0].source, kUIEventSource);
    EXPECT_EQ(logged[0].message, L"probe error");
}

// The configure template with three rows in its list view; it records the
// row selected when the list reports a click, and the clicked column.
class ListProbeDialog : public Dialog {
public:
    ListProbeDialog() : Dialog(IDD_CONFIGURE_PORT, nullptr) {
        onNotify(IDC_CFG_PRINTER_LIST, NM_CLICK, [this](const NMHDR&) {
            clickedRow = static_cast<int>(
                SendDlgItemMessageW(window(), IDC_CFG_PRINTER_LIST, LVM_GETNEXTITEM, -1, LVNI_SELECTED));
        });
        onNotify(IDC_CFG_PRINTER_LIST, LVN_COLUMNCLICK, [this](const NMHDR& header) {
            clickedColumn = reinterpret_cast<const NMLISTVIEW&>(header).iSubItem;
        });
    }
    std::atomic<int> clickedRow{-2};
    std::atomic<int> clickedColumn{-1};
    std::atomic<bool> cancelled{false};

protected:
    BOOL onInitDialog() override {
        HWND list = control(IDC_CFG_PRINTER_LIST);
        const wchar_t* columns[] = {L"Printer", L"Location", L"Description"};
        for (int column = 0; column < 3; ++column) {
            LVCOLUMNW header{};
            header.mask = LVCF_TEXT | LVCF_WIDTH;
            header.cx = 120;
            header.pszText = const_cast<wchar_t*>(columns[column]);
            ListView_InsertColumn(list, column, &header);
        }
        const wchar_t* rows[] = {L"P0", L"P1", L"P2"};
        for (int row = 0; row < 3; ++row) {
            LVITEMW item{};
            item.mask = LVIF_TEXT;
            item.iItem = row;
            item.pszText = const_cast<wchar_t*>(rows[row]);
            ListView_InsertItem(list, &item);
        }
        return TRUE;
    }
    void onCancel() override {
        cancelled = true;
        Dialog::onCancel();
    }
};

TEST(Dialog, ListClicksReachTheirHandlersAndTheCloseBoxCancels) {
    INITCOMMONCONTROLSEX classes{sizeof classes, ICC_LISTVIEW_CLASSES};
    ASSERT_TRUE(InitCommonControlsEx(&classes));
    ListProbeDialog dialog;
    INT_PTR result = runScripted([&] { return dialog.runModal(); }, [&](WindowDriver& driver) {
        HWND window = driver.waitForWindow(kConfigureCaption);
        driver.clickListRow(window, IDC_CFG_PRINTER_LIST, 1);
        driver.waitUntil([&] { return dialog.clickedRow == 1; }, "the click on row 1");
        driver.clickListColumn(window, IDC_CFG_PRINTER_LIST, 2);
        driver.waitUntil([&] { return dialog.clickedColumn == 2; }, "the click on column 2");
        PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
        driver.waitUntilClosed(window);
    });
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_TRUE(dialog.cancelled);
}

TEST(Dialog, AMissingTemplateFailsTheModalRun) {
    Dialog missing(4242, nullptr);
    EXPECT_EQ(missing.runModal(), -1);
}

}  // namespace

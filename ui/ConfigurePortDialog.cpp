#include "ConfigurePortDialog.h"

#include "EventIds.h"
#include "ModuleState.h"
#include "PortChecks.h"
#include "QRXOptionsDialog.h"
#include "ResourceIds.h"
#include "ResourceStrings.h"
#include "RuntimeError.h"
#include "XcvClient.h"

#include <algorithm>

ConfigurePortDialog::ConfigurePortDialog(PortSettings& settings, XcvChannel& channel, HWND owner)
    : Dialog(IDD_CONFIGURE_PORT, owner),
      hostName_(settings.hostName),
      portNumber_(settings.portNumber),
      printerName_(settings.printerName),
      unattended_(settings.unattended),
      settings_(settings),
      channel_(channel) {
    bindText(IDC_CFG_HOST_NAME, hostName_);
    bindText(IDC_CFG_HOST_PORT, portNumber_);
    bindText(IDC_CFG_SELECTED_PRINTER, printerName_);
    bindCheck(IDC_CFG_UNATTENDED, unattended_);
    onCommand(IDC_CFG_GET_PRINTER_LIST, BN_CLICKED, [this] { getPrinterList(); });
    onCommand(IDC_CFG_OPTIONS, BN_CLICKED, [this] { showOptions(); });
    onCommand(IDC_CFG_UNATTENDED, BN_CLICKED, [this] { unattendedClicked(); });
    onCommand(IDC_CFG_HOST_NAME, EN_UPDATE, [this] { hostOrPortEdited(); });
    onCommand(IDC_CFG_HOST_PORT, EN_UPDATE, [this] { hostOrPortEdited(); });
    onNotify(IDC_CFG_PRINTER_LIST, NM_CLICK, [this](const NMHDR&) { printerClicked(); });
    onNotify(IDC_CFG_PRINTER_LIST, LVN_GETDISPINFOW, [this](const NMHDR& header) {
        showCell(const_cast<NMLVDISPINFOW&>(reinterpret_cast<const NMLVDISPINFOW&>(header)));
    });
    onNotify(IDC_CFG_PRINTER_LIST, LVN_COLUMNCLICK, [this](const NMHDR& header) {
        sortByColumn(reinterpret_cast<const NMLISTVIEW&>(header).iSubItem);
    });
}

HWND ConfigurePortDialog::list() const { return control(IDC_CFG_PRINTER_LIST); }

BOOL ConfigurePortDialog::onInitDialog() {
    ListView_SetExtendedListViewStyle(list(), ListView_GetExtendedListViewStyle(list()) | LVS_EX_FULLROWSELECT);
    // The list view owns its image list and destroys it with itself.
    const int side = GetSystemMetrics(SM_CXSMICON);
    HIMAGELIST icons = ImageList_Create(side, side, ILC_MASK | ILC_COLOR32, 1, 1);
    if (auto icon = static_cast<HICON>(
            LoadImageW(module::resources(), MAKEINTRESOURCEW(IDI_PRINTER_ROW), IMAGE_ICON, side, side, 0))) {
        rowIcon_ = ImageList_AddIcon(icons, icon);
        DestroyIcon(icon);
    }
    ListView_SetImageList(list(), icons, LVSIL_SMALL);

    const struct {
        UINT text;
        int width;
    } columns[] = {{IDS_COLUMN_PRINTER, 150}, {IDS_COLUMN_LOCATION, 110}, {IDS_COLUMN_DESCRIPTION, 110}};
    for (int i = 0; i < 3; ++i) {
        std::wstring text = loadResourceString(columns[i].text);
        LVCOLUMNW column{};
        column.mask = LVCF_WIDTH | LVCF_TEXT;
        column.cx = columns[i].width;
        column.pszText = text.data();
        ListView_InsertColumn(list(), i, &column);
    }
    if (!hostName_.empty() && !portNumber_.empty()) fillPrinterList();
    return TRUE;
}

namespace {

// A control that does not draw while the object lives: filling or emptying
// a list row by row with drawing on redraws it for every row. It is drawn
// whole once at the end.
class RedrawSuspended {
public:
    explicit RedrawSuspended(HWND control) : control_(control) { SendMessageW(control_, WM_SETREDRAW, FALSE, 0); }
    ~RedrawSuspended() {
        SendMessageW(control_, WM_SETREDRAW, TRUE, 0);
        InvalidateRect(control_, nullptr, TRUE);
    }
    RedrawSuspended(const RedrawSuspended&) = delete;
    RedrawSuspended& operator=(const RedrawSuspended&) = delete;

private:
    HWND control_;
};

}  // namespace

void ConfigurePortDialog::emptyPrinterList() {
    RedrawSuspended quiet(list());
    ListView_DeleteAllItems(list());
}

void ConfigurePortDialog::fillPrinterList() {
    WaitCursor wait;
    try {
        emptyPrinterList();
        // A failure's box lets the dialog run meanwhile, and a click on Get
        // Printer List made just as it closes fills the list anew underneath:
        // after a failure the list is left as it stands.
        if (!printers_.fetch(settings_, channel_)) return;
        const auto& printers = printers_.printers();
        RedrawSuspended quiet(list());
        ListView_SetItemCountEx(list(), static_cast<int>(printers.size()), LVSICF_NOINVALIDATEALL);
        // A row keeps no copy of its texts: the list asks for them as it
        // draws (showCell), from the printer list by the row's item data.
        for (int i = 0; i < static_cast<int>(printers.size()); ++i) {
            LVITEMW row{};
            row.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM;
            row.iItem = i;
            row.pszText = LPSTR_TEXTCALLBACKW;
            row.iImage = rowIcon_;
            row.lParam = i;
            ListView_InsertItem(list(), &row);
        }
        auto stored = std::find_if(printers.begin(), printers.end(),
                                   [this](const ListedPrinter& printer) { return printer.name == printerName_; });
        if (stored != printers.end()) {
            int row = static_cast<int>(stored - printers.begin());
            ListView_SetItemState(list(), row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
            ListView_EnsureVisible(list(), row, TRUE);
        }
    } catch (const RuntimeError& error) {
        error.reportEvent(EVENT_UI_SYSTEM_ERROR);
        error.showMessage();
    }
}

void ConfigurePortDialog::copyFieldsInto(PortSettings& settings) const {
    settings.hostName = hostName_;
    settings.portNumber = portNumber_;
    settings.printerName = printerName_;
    settings.unattended = unattended_;
}

void ConfigurePortDialog::getPrinterList() {
    readControlsIntoFields();
    checkHostName(hostName_);
    checkPortNumber(portNumber_);
    copyFieldsInto(settings_);
    fillPrinterList();
}

void ConfigurePortDialog::printerClicked() {
    // Only a click picks a printer: moving the selection with the keys does not.
    int row = ListView_GetNextItem(list(), -1, LVNI_SELECTED);
    if (row < 0) return;
    // The name whole, from the list behind the row: the row's item data is
    // its index there, whatever order the rows are sorted in.
    LVITEMW item{};
    item.mask = LVIF_PARAM;
    item.iItem = row;
    if (!ListView_GetItem(list(), &item)) return;
    printerName_ = printers_.printers().at(static_cast<size_t>(item.lParam)).name;
    putFieldsIntoControls();
}

namespace {

// The order of a column: its texts compared ordinally, code unit by code
// unit (a prefix first), always ascending. Rows are known by their index
// into the printer list, which is their item data.
struct ColumnOrder {
    const PrinterListData* printers;
    int column;
    const std::wstring& text(LPARAM row) const { return printers->text(static_cast<size_t>(row), column); }
    static int CALLBACK compare(LPARAM first, LPARAM second, LPARAM order) {
        const ColumnOrder& by = *reinterpret_cast<const ColumnOrder*>(order);
        return by.text(first).compare(by.text(second));
    }
};

}  // namespace

void ConfigurePortDialog::sortByColumn(int column) {
    ColumnOrder order{&printers_, column};
    ListView_SortItems(list(), ColumnOrder::compare, reinterpret_cast<LPARAM>(&order));
}

void ConfigurePortDialog::showCell(NMLVDISPINFOW& cell) const {
    if (!(cell.item.mask & LVIF_TEXT) || !cell.item.pszText || cell.item.cchTextMax <= 0) return;
    const std::wstring& text = printers_.text(static_cast<size_t>(cell.item.lParam), cell.item.iSubItem);
    lstrcpynW(cell.item.pszText, text.c_str(), cell.item.cchTextMax);
}

void ConfigurePortDialog::hostOrPortEdited() {
    // Another server: the printer chosen on the old one is forgotten.
    readControlsIntoFields();
    emptyPrinterList();
    printerName_.clear();
    putFieldsIntoControls();
}

void ConfigurePortDialog::unattendedClicked() {
    readControlsIntoFields();
    putFieldsIntoControls();
}

namespace {

// Keeps a window from taking input while the object lives.
class WindowDisabled {
public:
    explicit WindowDisabled(HWND window) : window_(window) { EnableWindow(window_, FALSE); }
    ~WindowDisabled() { EnableWindow(window_, TRUE); }
    WindowDisabled(const WindowDisabled&) = delete;
    WindowDisabled& operator=(const WindowDisabled&) = delete;

private:
    HWND window_;
};

}  // namespace

void ConfigurePortDialog::showOptions() {
    readControlsIntoFields();
    try {
        PortOptions before(settings_.portName);
        queryOptions(channel_, before);
        PortOptions options = before;
        bool confirmed = false;
        {
            // The options dialog has no owner; while it runs this dialog
            // must not take clicks that would run its handlers underneath.
            WindowDisabled disabled(window());
            QRXOptionsDialog dialog(options);
            confirmed = dialog.runModal() == IDOK;
        }
        if (confirmed) {
            PortChange change;
            change.add(before, options);
            change.send(channel_);
        }
    } catch (const RuntimeError& error) {
        error.showMessage();
        error.reportEvent(EVENT_UI_SYSTEM_ERROR);
        SetLastError(error.code());
    }
}

void ConfigurePortDialog::onOk() {
    checkHostName(hostName_);
    checkPortNumber(portNumber_);
    checkPrinterName(printerName_);
    copyFieldsInto(settings_);
    Dialog::onOk();
}

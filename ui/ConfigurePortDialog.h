// Where one port's print server is set: host, LPD port and the printer
// picked from the server's own list, the unattended flag, and through the
// Options button the port's options. It edits the caller's record: before
// each printer-list fetch that its button starts, and on OK.
#pragma once

#include "Dialog.h"

#include <commctrl.h>
#include "PortRecords.h"
#include "PrinterListData.h"

#include <string>

class XcvChannel;

class ConfigurePortDialog : public Dialog {
public:
    ConfigurePortDialog(PortSettings& settings, XcvChannel& channel, HWND owner);

private:
    BOOL onInitDialog() override;
    void onOk() override;

    void fillPrinterList();
    void emptyPrinterList();
    void getPrinterList();
    void printerClicked();
    // A row's text in a column, asked for by the list as it draws.
    void showCell(NMLVDISPINFOW& cell) const;
    void sortByColumn(int column);
    void hostOrPortEdited();
    void unattendedClicked();
    void showOptions();

    void copyFieldsInto(PortSettings& settings) const;

    HWND list() const;

    std::wstring hostName_;
    std::wstring portNumber_;
    std::wstring printerName_;
    DWORD unattended_;
    PortSettings& settings_;
    XcvChannel& channel_;
    PrinterListData printers_;
    int rowIcon_ = -1;
};

// The print server's printers behind the configure dialog's list: fetched
// with "GetPrinterList" and cut into printer, location and description.
#pragma once

#include "PortRecords.h"

#include <string>
#include <vector>

class XcvChannel;

struct ListedPrinter {
    std::wstring name;
    std::wstring location;
    std::wstring description;
};

class PrinterListData {
public:
    virtual ~PrinterListData() = default;

    // Refills the list from the server of the record's host and port. A
    // failure is shown and logged here, and answers false; the list then
    // keeps what arrived.
    bool fetch(const PortSettings& settings, XcvChannel& channel);
    // The same for a host and port, a failure raised: the system's text of
    // the status (the string table is not consulted for this command) and the
    // host and port asked, code 0.
    void query(const std::wstring& hostName, const std::wstring& portNumber, XcvChannel& channel);
    // Cuts a reply into printers: three lines each (name, location,
    // description), every line ended by a line feed; what follows the last
    // line feed is dropped. A last printer without its location or
    // description gets empty ones.
    void assign(const std::wstring& reply);

    const std::vector<ListedPrinter>& printers() const { return printers_; }
    // A printer's text in a column of the list: 0 name, 1 location, 2 description.
    const std::wstring& text(size_t printer, int column) const;

private:
    std::vector<ListedPrinter> printers_;
};

// The dialog in which a user edits a port's options: the separator-sheet
// information, the job attributes and the prompt flag. It edits the caller's
// record in memory, and only on OK; reading and storing the record is the
// caller's business.
#pragma once

#include "Dialog.h"
#include "PortRecords.h"

#include <array>
#include <string>

// The four address lines the dialog shows.
using AddressLines = std::array<std::wstring, 4>;

// Cuts an address at its line feeds. Lines it does not reach stay empty; an
// address of more than four lines keeps its surplus in the fourth line, with
// blanks for the line feeds, so that nothing is lost on OK.
AddressLines splitAddress(const std::wstring& address);
// The four lines with one line feed between each pair: always three.
std::wstring joinAddress(const AddressLines& lines);

class QRXOptionsDialog : public Dialog {
public:
    // Copies the record into the dialog's fields. The record must outlive
    // the dialog; it is written on OK only.
    explicit QRXOptionsDialog(PortOptions& options);
    ~QRXOptionsDialog() override;

protected:
    BOOL onInitDialog() override;
    void onOk() override;

private:
    PortOptions& options_;
    AddressLines address_;
    std::wstring building_;
    std::wstring department_;
    std::wstring jobAttributes_;
    std::wstring name_;
    std::wstring room_;
    DWORD prompt_;
};

#include "QRXOptionsDialog.h"

#include "ResourceIds.h"

namespace {

constexpr wchar_t kLineFeed = L'\n';

// The character limits of the edit controls, set in this order.
struct EditLimit {
    int controlId;
    WPARAM characters;
};
constexpr EditLimit kEditLimits[] = {
    {IDC_OPT_NAME, 60},      {IDC_OPT_DEPARTMENT, 60}, {IDC_OPT_ROOM, 60},      {IDC_OPT_BUILDING, 60},
    {IDC_OPT_ADDRESS_1, 60}, {IDC_OPT_ADDRESS_2, 60},  {IDC_OPT_ADDRESS_3, 60}, {IDC_OPT_ADDRESS_4, 60},
    {IDC_OPT_JOB_ATTRIBUTES, 2048},
};

constexpr int kAddressControls[] = {IDC_OPT_ADDRESS_1, IDC_OPT_ADDRESS_2, IDC_OPT_ADDRESS_3, IDC_OPT_ADDRESS_4};

}  // namespace

AddressLines splitAddress(const std::wstring& address) {
    AddressLines lines;
    size_t start = 0;
    for (size_t line = 0; line + 1 < lines.size(); ++line) {
        size_t feed = address.find(kLineFeed, start);
        if (feed == std::wstring::npos) {
            lines[line] = address.substr(start);
            return lines;
        }
        lines[line] = address.substr(start, feed - start);
        start = feed + 1;
    }
    // A single-line edit cannot show a line feed: the surplus lines are
    // shown in the last line, separated by blanks.
    std::wstring rest = address.substr(start);
    for (wchar_t& c : rest)
        if (c == kLineFeed) c = L' ';
    lines.back() = rest;
    return lines;
}

std::wstring joinAddress(const AddressLines& lines) {
    std::wstring address = lines.front();
    for (size_t line = 1; line < lines.size(); ++line) address += kLineFeed + lines[line];
    return address;
}

QRXOptionsDialog::QRXOptionsDialog(PortOptions& options)
    : Dialog(IDD_OPTIONS, nullptr),
      options_(options),
      address_(splitAddress(options.address)),
      building_(options.building),
      department_(options.department),
      jobAttributes_(options.jobAttributes),
      name_(options.name),
      room_(options.room),
      prompt_(options.promptFlag ? 1 : 0) {
    bindText(IDC_OPT_NAME, name_);
    bindText(IDC_OPT_DEPARTMENT, department_);
    bindText(IDC_OPT_ROOM, room_);
    bindText(IDC_OPT_BUILDING, building_);
    for (size_t line = 0; line < address_.size(); ++line) bindText(kAddressControls[line], address_[line]);
    bindText(IDC_OPT_JOB_ATTRIBUTES, jobAttributes_);
    bindCheck(IDC_OPT_PROMPT, prompt_);
}

QRXOptionsDialog::~QRXOptionsDialog() = default;

BOOL QRXOptionsDialog::onInitDialog() {
    for (const EditLimit& limit : kEditLimits) SendDlgItemMessageW(window(), limit.controlId, EM_LIMITTEXT, limit.characters, 0);
    // The prompt program starts it from the background: it must come up in
    // front of whatever the user is doing. A program started by a service is
    // often refused the foreground, and the user's typing would go to their
    // own application: the taskbar button then flashes until the dialog is
    // activated.
    if (!SetForegroundWindow(window()) || GetForegroundWindow() != window()) {
        FLASHWINFO flash{sizeof flash, window(), FLASHW_ALL | FLASHW_TIMERNOFG, 0, 0};
        FlashWindowEx(&flash);
    }
    SetWindowPos(window(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    return TRUE;
}

void QRXOptionsDialog::onOk() {
    readControlsIntoFields();
    options_.address = joinAddress(address_);
    options_.building = building_;
    options_.department = department_;
    options_.jobAttributes = jobAttributes_;
    options_.name = name_;
    options_.promptFlag = prompt_;
    options_.room = room_;
    end(IDOK);
}

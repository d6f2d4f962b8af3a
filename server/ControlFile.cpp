#include "ControlFile.h"

std::wstring withoutLineBreaks(std::wstring text) {
    for (wchar_t& c : text)
        if (c == L'\n' || c == L'\r') c = L' ';
    return text;
}

namespace {

void addLine(std::wstring& text, wchar_t letter, const std::wstring& value) {
    if (value.empty()) return;
    text += letter;
    text += withoutLineBreaks(value);
    text += L'\n';
}

}  // namespace

ControlFile ControlFile::build(const std::wstring& host, const std::wstring& user, const std::wstring& attributes,
                               const std::wstring& document) {
    // Jobs are not counted: every job is number 000.
    ControlFile file;
    file.host = withoutLineBreaks(host);
    file.controlFileName = L"cfA000" + file.host;
    file.dataFileName = L"dfA000" + file.host;
    addLine(file.text, L'H', file.host);
    addLine(file.text, L'P', user);
    addLine(file.text, L'X', attributes);
    addLine(file.text, L'N', document);
    file.text += L'l' + file.dataFileName + L'\n';
    return file;
}

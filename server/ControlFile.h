// The control file of one job: which host sent it, for whom, with which
// attributes and document name, and the names of the control and data files.
#pragma once

#include <string>

struct ControlFile {
    // Values holding line breaks would end their line early and start others
    // of the sender's choosing; each line feed and carriage return becomes a blank.
    static ControlFile build(const std::wstring& host, const std::wstring& user, const std::wstring& attributes,
                             const std::wstring& document);

    std::wstring host;
    std::wstring controlFileName;
    std::wstring text;
    std::wstring dataFileName;
};

// The text with every line feed and carriage return replaced by a blank.
std::wstring withoutLineBreaks(std::wstring text);

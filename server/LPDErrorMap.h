// The Windows error code for each message identifier of the print server
// ("VAV", three digits, a severity letter at the start of its texts).
#pragma once

#include <windows.h>

#include <map>
#include <string>

class LPDErrorMap {
public:
    LPDErrorMap();
    virtual ~LPDErrorMap();

    // The code of the identifier the text starts with, compared exactly;
    // ERROR_INVALID_PRINTER_COMMAND for any other text.
    DWORD codeFor(const std::wstring& text) const;
    const std::map<std::wstring, DWORD>& entries() const { return codes_; }

    static constexpr size_t kIdentifierLength = 7;

private:
    std::map<std::wstring, DWORD> codes_;
};

// The module's one map, built once and only read afterwards.
const LPDErrorMap& lpdErrorMap();

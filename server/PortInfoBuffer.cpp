#include "PortInfoBuffer.h"

#include <winspool.h>

#include <cstring>

namespace {

DWORD stringBytes(const std::wstring& text) { return static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)); }

}  // namespace

PortInfoBuffer::PortInfoBuffer(DWORD level, BYTE* buffer, DWORD size)
    : level_(level),
      start_(buffer),
      usable_(buffer ? size & ~DWORD{1} : 0),
      cursor_(buffer),
      stringsEnd_(buffer ? buffer + usable_ : nullptr) {}

wchar_t* PortInfoBuffer::placeString(const std::wstring& text) {
    DWORD bytes = stringBytes(text);
    stringsEnd_ -= bytes;
    std::memcpy(stringsEnd_, text.c_str(), bytes);
    return reinterpret_cast<wchar_t*>(stringsEnd_);
}

void PortInfoBuffer::add(const std::wstring& portName, const std::wstring& monitorName,
                         const std::wstring& description) {
    if (level_ == 1)
        needed_ += sizeof(PORT_INFO_1W) + stringBytes(portName);
    else
        needed_ += sizeof(PORT_INFO_2W) + stringBytes(portName) + stringBytes(monitorName) + stringBytes(description);
    if (needed_ > usable_) return;

    if (level_ == 1) {
        PORT_INFO_1W record{};
        record.pName = placeString(portName);
        std::memcpy(cursor_, &record, sizeof record);
        cursor_ += sizeof record;
    } else {
        PORT_INFO_2W record{};
        record.pPortName = placeString(portName);
        record.pMonitorName = placeString(monitorName);
        record.pDescription = placeString(description);
        std::memcpy(cursor_, &record, sizeof record);
        cursor_ += sizeof record;
    }
    ++count_;
}

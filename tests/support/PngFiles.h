// PNG files through the system's imaging codecs (WIC): screenshots written,
// and read back to check them.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace qrxtest {

struct Pixels {
    UINT width = 0;
    UINT height = 0;
    std::vector<uint32_t> bgra;  // row by row from the top
};

// Writes 24-bit BGR rows, top row first, each row `stride` bytes apart.
void savePng(const std::wstring& path, UINT width, UINT height, UINT stride, const BYTE* bgrRows);
Pixels loadPng(const std::wstring& path);

}  // namespace qrxtest

// Text as qrxport's files and pipes carry it: UTF-8, lines ended by CR LF.
#pragma once

#include <string>

std::string toUtf8(const std::wstring& text);
// Raises a RuntimeWarning when the bytes are not UTF-8.
std::wstring fromUtf8(const std::string& bytes);
// Line feeds as CR LF, in UTF-8: what a file or a pipe receives.
std::string fileText(const std::wstring& text);

// A whole file's bytes; raise a RuntimeError that names the file, with the
// system's code.
std::string readFileBytes(const std::wstring& path);
// Replaces the file (or makes it) with the bytes.
void writeFileBytes(const std::wstring& path, const std::string& bytes);

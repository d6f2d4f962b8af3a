// Text conversions of the server: the wire carries code page 1252 bytes,
// administrators' files are UTF-8 (or 1252 when they are not valid UTF-8).
#pragma once

#include <string>

namespace refserver {

std::string toCp1252(const std::wstring& text);
std::wstring fromCp1252(const std::string& bytes);
// UTF-8 when the bytes are valid UTF-8, else code page 1252.
std::wstring fromFileText(const std::string& bytes);
std::string toUtf8(const std::wstring& text);

// The bytes with control characters and bytes outside printable ASCII shown
// as \xNN, for log lines.
std::string printable(const std::string& bytes);

}  // namespace refserver

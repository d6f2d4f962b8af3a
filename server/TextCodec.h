// Conversions between the UTF-16 of the monitor and the 8-bit text of the
// network: code page 1252 towards the print server, the thread's ANSI code
// page from it and for host names.
#pragma once

#include <windows.h>

#include <string>

std::string toWire(const std::wstring& text);
std::string toAnsi(const std::wstring& text);
std::wstring fromAnsi(const std::string& bytes);

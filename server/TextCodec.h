// Conversions between the UTF-16 of the monitor and the 8-bit text of the
// network: code page 1252 both ways with the print server, so that a queue
// name read from its list goes back as the same bytes on a machine of any
// locale; the thread's ANSI code page for host and service names.
#pragma once

#include <windows.h>

#include <string>

std::string toWire(const std::wstring& text);
std::wstring fromWire(const std::string& bytes);
std::string toAnsi(const std::wstring& text);
std::wstring fromAnsi(const std::string& bytes);

#pragma once

#include <windows.h>

#include <string>

// The system's text for an error code, exactly as the system words it
// (with its trailing line break); empty for 0, for codes without a text and
// for texts that need insert values.
std::wstring systemErrorText(DWORD code);

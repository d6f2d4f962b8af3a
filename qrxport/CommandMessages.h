// How qrxport words what it prints: a message as lines, a failure with its
// code and the system's text.
#pragma once

#include "RuntimeError.h"

#include <string>

// A message as lines ended by line feeds alone, without the line breaks that
// the system's texts end with.
std::wstring messageLines(const std::wstring& text);

// A failure with its code, unless its message already gives it.
std::wstring describe(const RuntimeError& error);

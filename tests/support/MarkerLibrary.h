// A library that stands in for one planted by someone else: its entry point
// leaves a mark in the process that runs it, and it holds one string, so that
// a test can tell a library that was only read from one whose code ran.
#pragma once

#define QRX_MARKER_TEXT_ID 1
#define QRX_MARKER_TEXT "Planted library"

#ifndef RC_INVOKED
// Set in the process's environment by the library's entry point.
constexpr const wchar_t* kMarkerVariable = L"QRX_MARKER_LIBRARY_RAN";
#endif

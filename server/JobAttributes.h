// The job attribute text of the control file's X line: the separator-sheet
// fields of a port as quoted attributes, then its free-form attributes.
#pragma once

#include "PortStore.h"

#include <string>

// key='value' and a blank, every apostrophe of the value escaped by a backslash.
std::wstring quoteAttribute(const std::wstring& key, const std::wstring& value);
// Empty, or "VAV" followed by the attributes.
std::wstring buildJobAttributes(const PortOptions& options);

// Texts of the current resource library and the filling of their templates.
#pragma once

#include <windows.h>

#include <string>

// The string with that id from the module's resource library; empty when it
// cannot be loaded.
std::wstring loadResourceString(UINT id);

// Replaces every "%1" by first (and every "%2" by second); nothing else in
// the template is interpreted.
std::wstring fillTemplate(const std::wstring& text, const std::wstring& first);
std::wstring fillTemplate(const std::wstring& text, const std::wstring& first, const std::wstring& second);

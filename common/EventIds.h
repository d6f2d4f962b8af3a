// Event ids of the event message file and the event sources they are logged under.
#pragma once

#include <windows.h>

constexpr DWORD EVENT_UI_SYSTEM_ERROR = 0xCFFE0001;
constexpr DWORD EVENT_SERVER_LPD_ERROR = 0xCFFF0001;
constexpr DWORD EVENT_SERVER_SYSTEM_ERROR = 0xCFFF0003;

constexpr const wchar_t* kServerEventSource = L"Prentova Port Monitor Server";
constexpr const wchar_t* kUIEventSource = L"Prentova Port Monitor UI";
constexpr const wchar_t* kEventMessageFileName = L"QRX_EVENT_RU1033RI.DLL";

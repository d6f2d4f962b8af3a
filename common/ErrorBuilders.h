// The builders of the server's error messages: each composes a headline,
// detail lines, the error code and the system's text from the string table
// of the current resource library, and throws a RuntimeError.
#pragma once

#include <windows.h>

#include "RuntimeError.h"

#include <string>
#include <vector>

[[noreturn]] void throwCallFailed(const std::wstring& call, DWORD code);
[[noreturn]] void throwCallFailedFor(const std::wstring& call, const std::wstring& objectName, DWORD code);
[[noreturn]] void throwRegistryError(const std::wstring& call, const std::wstring& keyName, DWORD code);
// The detail lines that say where a conversation with the print server
// went: the monitor's port (when there is one), the host and its LPD port,
// and the queue (for a job).
std::wstring serverPlace(const std::wstring& portName, const std::wstring& host, const std::wstring& port,
                         const std::wstring* queue);
// The errors of a conversation name their place after their message; those
// of the server's answers also name the step (a string id) they came at.
[[noreturn]] void throwCommunicationError(const std::wstring& call, const std::wstring& place, DWORD code);
[[noreturn]] void throwPortListError(DWORD level, DWORD code);
[[noreturn]] void throwServerClosed(UINT step, const std::wstring& place);
[[noreturn]] void throwProtocolError(UINT step, const std::wstring& place);
// The server's own text first and unchanged, so that its identifier stays at
// the start; a refusal without text gets a message of its own.
[[noreturn]] void throwServerRefusal(const std::wstring& text, DWORD code, UINT step, const std::wstring& place);

// A job that waits for a server that cannot be reached: the event when it
// starts waiting, its status meanwhile, the event when it goes out after
// waiting (naming where), the error when the waiting time is over, and the
// event when the spooler is asked to send it again. Each carries the error
// that made it wait, or the last one.
RuntimeError jobWaiting(DWORD minutes, const RuntimeError& cause);
std::wstring jobWaitingStatus(const std::wstring& host, const std::wstring& port, const RuntimeError& cause);
RuntimeError jobPrintedAfterWaiting(ULONGLONG seconds, const std::wstring& place);
RuntimeError jobWaitOver(DWORD minutes, const RuntimeError& last);
RuntimeError jobRestarted(unsigned restart, unsigned restarts, const RuntimeError& cause);

// Reported, not thrown: the prompt program's answer, or values of it, that
// the monitor does not use (how many, and the first of their names); a
// prompt that was not shown or was ended, and why; a prompt program that
// could not be started. Each names the port.
RuntimeError ignoredPromptAnswer(const std::wstring& portName);
RuntimeError ignoredPromptValues(size_t count, const std::vector<std::wstring>& firstNames,
                                 const std::wstring& portName);
RuntimeError promptForAnotherUser(const std::wstring& portName, DWORD session);
RuntimeError promptSessionInactive(const std::wstring& portName, DWORD session);
RuntimeError promptSessionEnded(const std::wstring& portName, DWORD session);
RuntimeError promptNotStarted(const std::wstring& programPath, const std::wstring& portName, DWORD code);

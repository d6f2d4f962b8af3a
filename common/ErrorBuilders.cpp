#include "ErrorBuilders.h"

#include "ResourceIds.h"
#include "ResourceStrings.h"
#include "RuntimeError.h"
#include "SystemErrorText.h"

#include <initializer_list>

namespace {

std::wstring decimal(DWORD code) { return std::to_wstring(static_cast<long>(code)); }

// Headline and detail lines, each ended by a line feed, then the code line and
// the system's text for the code.
RuntimeError composed(std::initializer_list<std::wstring> lines, DWORD code) {
    std::wstring message;
    for (const std::wstring& line : lines) message += line + L'\n';
    message += fillTemplate(loadResourceString(IDS_DETAIL_ERROR_CODE), decimal(code)) + L'\n';
    message += systemErrorText(code);
    return RuntimeError(std::move(message), code);
}

[[noreturn]] void throwComposed(std::initializer_list<std::wstring> lines, DWORD code) {
    throw composed(lines, code);
}

// The connection's failures may pass: a job waits for them.
[[noreturn]] void throwConnectionError(const RuntimeError& error) { throw ConnectionError(error.message(), error.code()); }

std::wstring headline(UINT id, const std::wstring& call) { return fillTemplate(loadResourceString(id), call); }

std::wstring nameLine(const std::wstring& name) { return fillTemplate(loadResourceString(IDS_DETAIL_NAME), name); }

std::wstring portLine(const std::wstring& portName) {
    return fillTemplate(loadResourceString(IDS_DETAIL_PORT), portName);
}

// A message of the server's answer, then the step it came at and the place.
std::wstring atStep(const std::wstring& message, UINT step, const std::wstring& place) {
    return message + L'\n' + fillTemplate(loadResourceString(IDS_DETAIL_STEP), loadResourceString(step)) + L'\n' +
           place;
}

// Why a port's job was not asked about: no system error lies behind it, so
// the message carries no error code.
RuntimeError sessionNotice(UINT id, const std::wstring& portName, DWORD session) {
    return RuntimeError(loadResourceString(id) + L'\n' + portLine(portName) + L'\n' +
                            fillTemplate(loadResourceString(IDS_DETAIL_SESSION), decimal(session)),
                        ERROR_SUCCESS);
}

// A headline over the error it speaks of, which keeps its code.
RuntimeError over(const std::wstring& headline, const RuntimeError& cause) {
    return RuntimeError(headline + L'\n' + cause.message(), cause.code());
}

}  // namespace

void throwCallFailed(const std::wstring& call, DWORD code) {
    throwComposed({headline(IDS_CALL_FAILED, call)}, code);
}

void throwCallFailedFor(const std::wstring& call, const std::wstring& objectName, DWORD code) {
    throwComposed({headline(IDS_CALL_FAILED, call), nameLine(objectName)}, code);
}

void throwRegistryError(const std::wstring& call, const std::wstring& keyName, DWORD code) {
    throwComposed({headline(IDS_REGISTRY_ERROR, call), nameLine(keyName)}, code);
}

std::wstring serverPlace(const std::wstring& portName, const std::wstring& host, const std::wstring& port,
                         const std::wstring* queue) {
    std::wstring place = portName.empty() ? L"" : portLine(portName) + L'\n';
    place += fillTemplate(loadResourceString(IDS_DETAIL_HOST_PORT), host, port);
    if (queue) place += L'\n' + fillTemplate(loadResourceString(IDS_DETAIL_QUEUE), *queue);
    return place;
}

void throwCommunicationError(const std::wstring& call, const std::wstring& place, DWORD code) {
    throwConnectionError(composed({headline(IDS_COMMUNICATION_ERROR, call), place}, code));
}

void throwPortListError(DWORD level, DWORD code) {
    throwComposed({loadResourceString(IDS_PORT_LIST_ERROR),
                   fillTemplate(loadResourceString(IDS_DETAIL_LEVEL), decimal(level))},
                  code);
}

void throwServerClosed(UINT step, const std::wstring& place) {
    throw ConnectionError(atStep(loadResourceString(IDS_SERVER_CLOSED), step, place), ERROR_INVALID_PRINTER_STATE);
}

void throwProtocolError(UINT step, const std::wstring& place) {
    throw RuntimeError(atStep(loadResourceString(IDS_PROTOCOL_ERROR), step, place), 0);
}

void throwServerRefusal(const std::wstring& text, DWORD code, UINT step, const std::wstring& place) {
    const std::wstring message = text.empty() ? loadResourceString(IDS_REFUSED_WITHOUT_MESSAGE) : text;
    throw LPDRuntimeError(atStep(message, step, place), code);
}

RuntimeError jobWaiting(DWORD minutes, const RuntimeError& cause) {
    return over(fillTemplate(loadResourceString(IDS_JOB_WAITING), decimal(minutes)), cause);
}

std::wstring jobWaitingStatus(const std::wstring& host, const std::wstring& port, const RuntimeError& cause) {
    const std::wstring& message = cause.message();
    return fillTemplate(loadResourceString(IDS_JOB_WAITING_STATUS), host + L':' + port,
                        message.substr(0, message.find(L'\n')));
}

RuntimeError jobPrintedAfterWaiting(ULONGLONG seconds, const std::wstring& place) {
    return RuntimeError(
        fillTemplate(loadResourceString(IDS_JOB_PRINTED_AFTER_WAITING), std::to_wstring(seconds)) + L'\n' + place,
        ERROR_SUCCESS);
}

RuntimeError jobWaitOver(DWORD minutes, const RuntimeError& last) {
    return over(fillTemplate(loadResourceString(IDS_JOB_WAIT_OVER), decimal(minutes)), last);
}

RuntimeError jobRestarted(unsigned restart, unsigned restarts, const RuntimeError& cause) {
    return over(fillTemplate(loadResourceString(IDS_JOB_RESTARTED), std::to_wstring(restart), std::to_wstring(restarts)),
                cause);
}

RuntimeError ignoredPromptAnswer(const std::wstring& portName) {
    return composed({loadResourceString(IDS_PROMPT_ANSWER_IGNORED), portLine(portName)}, ERROR_INVALID_DATA);
}

RuntimeError ignoredPromptValues(size_t count, const std::vector<std::wstring>& firstNames,
                                 const std::wstring& portName) {
    std::wstring names;
    for (const std::wstring& name : firstNames) names += (names.empty() ? L"" : L", ") + name;
    const std::wstring headline =
        count == 1 ? fillTemplate(loadResourceString(IDS_PROMPT_VALUE_IGNORED), names)
                   : fillTemplate(loadResourceString(IDS_PROMPT_VALUES_IGNORED), std::to_wstring(count), names);
    return composed({headline, portLine(portName)}, ERROR_INVALID_DATA);
}

RuntimeError promptForAnotherUser(const std::wstring& portName, DWORD session) {
    return sessionNotice(IDS_PROMPT_ANOTHER_USER, portName, session);
}

RuntimeError promptSessionInactive(const std::wstring& portName, DWORD session) {
    return sessionNotice(IDS_PROMPT_SESSION_INACTIVE, portName, session);
}

RuntimeError promptSessionEnded(const std::wstring& portName, DWORD session) {
    return sessionNotice(IDS_PROMPT_SESSION_ENDED, portName, session);
}

RuntimeError promptNotStarted(const std::wstring& programPath, const std::wstring& portName, DWORD code) {
    return composed({headline(IDS_CALL_FAILED, L"CreateProcessAsUser()"), nameLine(programPath), portLine(portName)},
                    code);
}

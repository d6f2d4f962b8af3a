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

std::wstring headline(UINT id, const std::wstring& call) { return fillTemplate(loadResourceString(id), call); }

std::wstring nameLine(const std::wstring& name) { return fillTemplate(loadResourceString(IDS_DETAIL_NAME), name); }

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

void throwCommunicationError(const std::wstring& call, const std::wstring& host, const std::wstring& port,
                             DWORD code) {
    throwComposed({headline(IDS_COMMUNICATION_ERROR, call),
                   fillTemplate(loadResourceString(IDS_DETAIL_HOST_PORT), host, port)},
                  code);
}

void throwPortListError(DWORD level, DWORD code) {
    throwComposed({loadResourceString(IDS_PORT_LIST_ERROR),
                   fillTemplate(loadResourceString(IDS_DETAIL_LEVEL), decimal(level))},
                  code);
}

void throwServerClosed() { throw RuntimeError(loadResourceString(IDS_SERVER_CLOSED), ERROR_INVALID_PRINTER_STATE); }

void throwProtocolError() { throw RuntimeError(loadResourceString(IDS_PROTOCOL_ERROR), 0); }

RuntimeError ignoredPromptAnswer() { return composed({loadResourceString(IDS_PROMPT_ANSWER_IGNORED)}, ERROR_INVALID_DATA); }

RuntimeError ignoredPromptValue(const std::wstring& valueName) {
    return composed({fillTemplate(loadResourceString(IDS_PROMPT_VALUE_IGNORED), valueName)}, ERROR_INVALID_DATA);
}

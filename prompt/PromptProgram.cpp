#include "PromptProgram.h"

#include "Dialog.h"
#include "ErrorBuilders.h"
#include "EventIds.h"
#include "ModuleState.h"
#include "PortOptionsKey.h"
#include "PromptAnswers.h"
#include "PromptCommandLine.h"
#include "QRXOptionsDialog.h"
#include "RuntimeError.h"
#include "Utilities.h"

namespace {

// The module's instance becomes known to the dialog layer. Fails only when
// the program has no instance to run from.
bool startFramework(HINSTANCE instance) {
    if (!instance) return false;
    module::setInstanceHandle(instance);
    return true;
}

// Written where a console would show it; a windowed program has none, so
// nothing is seen unless its output is redirected.
void reportFrameworkFailure() {
    static const char kText[] = "Fatal Error: application framework initialization failed\n";
    HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD written = 0;
    if (output && output != INVALID_HANDLE_VALUE) WriteFile(output, kText, sizeof kText - 1, &written, nullptr);
}

// The pipe the monitor reads the answers from, when it started the program
// with one as standard output; null when the program was started otherwise.
HANDLE monitorPipe() {
    HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    if (!output || output == INVALID_HANDLE_VALUE || GetFileType(output) != FILE_TYPE_PIPE) return nullptr;
    return output;
}

void sendAnswers(HANDLE pipe, const PortOptions& options) {
    const std::string message = encodePromptAnswers(options);
    for (size_t sent = 0; sent < message.size();) {
        DWORD written = 0;
        if (!WriteFile(pipe, message.data() + sent, static_cast<DWORD>(message.size() - sent), &written, nullptr))
            throwCallFailed(L"WriteFile()", GetLastError());
        sent += written;
    }
}

// The dialog for the port's stored options. On OK the answers go to the
// monitor, which stores them with its own rights (a user may not write the
// port's key); started by hand, the program stores them itself.
int promptForPort(const std::wstring& portName) {
    PortOptionsKey key(portName);
    PortOptions options(portName);
    key.read(options);
    QRXOptionsDialog dialog(options);
    if (dialog.runModal() != IDOK) return kPromptCancelled;
    if (HANDLE pipe = monitorPipe())
        sendAnswers(pipe, options);
    else
        key.write(options);
    return kPromptConfirmed;
}

}  // namespace

int runPromptProgram(HINSTANCE instance, const std::wstring& commandLine) {
    if (!startFramework(instance)) {
        reportFrameworkFailure();
        return kPromptFrameworkFailed;
    }
    registerDialogControls();
    // Without the language library there is no text to say anything with:
    // the job prints with the options as stored.
    HMODULE resources = loadResourceLibrary();
    if (!resources) return kPromptConfirmed;
    module::setResources(resources);
    module::setHelpFilePath(Utilities::helpFilePath());

    try {
        return promptForPort(portNameFromCommandLine(commandLine));
    } catch (const RuntimeError& error) {
        // The user learns that the answers were not stored; the job still
        // prints, with the options as stored.
        error.showMessage();
        error.reportEvent(EVENT_UI_SYSTEM_ERROR);
        SetLastError(error.code());
        return kPromptConfirmed;
    }
}

#include "PromptProgram.h"

#include "Dialog.h"
#include "EventIds.h"
#include "ModuleState.h"
#include "PortOptionsKey.h"
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

// The dialog for the port's stored options; the answers are stored on OK.
int promptForPort(const std::wstring& portName) {
    PortOptionsKey key(portName);
    PortOptions options(portName);
    key.read(options);
    QRXOptionsDialog dialog(options);
    if (dialog.runModal() != IDOK) return kPromptCancelled;
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

#include "PromptedOptions.h"

#include "ErrorBuilders.h"
#include "EventIds.h"
#include "PromptAnswers.h"
#include "Sessions.h"

namespace {

void reportWhyNotAsked(const PromptRun& run, const std::wstring& programPath, const std::wstring& portName) {
    switch (run.outcome) {
        case PromptOutcome::AnotherUser:
            promptForAnotherUser(portName, run.session).reportEvent(EVENT_SERVER_SYSTEM_ERROR);
            break;
        case PromptOutcome::SessionInactive:
            promptSessionInactive(portName, run.session).reportEvent(EVENT_SERVER_SYSTEM_ERROR);
            break;
        case PromptOutcome::SessionEnded:
            promptSessionEnded(portName, run.session).reportEvent(EVENT_SERVER_SYSTEM_ERROR);
            break;
        case PromptOutcome::NotStarted:
            promptNotStarted(programPath, portName, run.startError).reportEvent(EVENT_SERVER_SYSTEM_ERROR);
            break;
        case PromptOutcome::NobodyToAsk:
        case PromptOutcome::Answered:
            break;
    }
}

}  // namespace

void takePromptAnswers(const PromptRun& run, const std::wstring& programPath, PortConfiguration& port,
                       const PortStore& store) {
    const std::wstring& portName = port.options.portName;
    reportWhyNotAsked(run, programPath, portName);
    if (!run.confirmed() || (run.answer.empty() && !run.cutShort)) return;
    const PromptAnswers answers = run.cutShort ? PromptAnswers() : PromptAnswers::decode(run.answer);
    if (!answers.wellFormed()) {
        ignoredPromptAnswer(portName).reportEvent(EVENT_SERVER_SYSTEM_ERROR);
        return;
    }
    if (answers.ignoredCount() > 0)
        ignoredPromptValues(answers.ignoredCount(), answers.firstIgnored(), portName)
            .reportEvent(EVENT_SERVER_SYSTEM_ERROR);
    const std::vector<const wchar_t*> answered = answers.applyTo(port.options);
    if (answered.empty()) return;
    try {
        // The client may read the port's key but not write it.
        ThreadIdentity identity;
        identity.actAsSelf();
        store.storeOptions(portName, port.options, answered);
    } catch (const RuntimeError& error) {
        error.reportEvent(EVENT_SERVER_SYSTEM_ERROR);
    }
}

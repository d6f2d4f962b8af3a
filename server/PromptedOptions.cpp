#include "PromptedOptions.h"

#include "ErrorBuilders.h"
#include "EventIds.h"
#include "PromptAnswers.h"
#include "Sessions.h"

void takePromptAnswers(const PromptRun& run, PortConfiguration& port, const PortStore& store) {
    if (!run.confirmed() || (run.answer.empty() && !run.cutShort)) return;
    const PromptAnswers answers = run.cutShort ? PromptAnswers() : PromptAnswers::decode(run.answer);
    if (!answers.wellFormed()) {
        ignoredPromptAnswer().reportEvent(EVENT_SERVER_SYSTEM_ERROR);
        return;
    }
    for (const std::wstring& name : answers.ignored()) ignoredPromptValue(name).reportEvent(EVENT_SERVER_SYSTEM_ERROR);
    const std::vector<const wchar_t*> answered = answers.applyTo(port.options);
    if (answered.empty()) return;
    try {
        // The client may read the port's key but not write it.
        ThreadIdentity identity;
        identity.actAsSelf();
        store.storeOptions(port.options.portName, port.options, answered);
    } catch (const RuntimeError& error) {
        error.reportEvent(EVENT_SERVER_SYSTEM_ERROR);
    }
}

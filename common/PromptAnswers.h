// What the prompt program hands to the monitor through its standard output
// when the monitor starts it with a pipe there: the options the user
// confirmed with OK. The message is UTF-16LE: a tag, then pairs of a value
// name and its text, every item ended by a NUL, then an empty name.
#pragma once

#include "PortRecords.h"

#include <string>
#include <utility>
#include <vector>

// The most the monitor reads of an answer; a genuine one of seven values at
// their longest takes less than half of it.
constexpr size_t kLongestPromptAnswerBytes = 64 * 1024;

// The message for the seven option values of the record ("Show" as "0" or "1").
std::string encodePromptAnswers(const PortOptions& options);

class PromptAnswers {
public:
    // Reads a message. Only the seven option values are taken, each once and
    // within what the options dialog can hand back: text of at most 2048
    // characters, an address of at most four lines, "Show" as "0" or "1".
    // Anything else is left out and counted; a message that is not whole or
    // not of this form gives no answers at all.
    static PromptAnswers decode(const std::string& message);

    bool wellFormed() const { return wellFormed_; }
    // How many values were left out, and the names (cut short) of the first
    // few of them.
    size_t ignoredCount() const { return ignoredCount_; }
    const std::vector<std::wstring>& firstIgnored() const { return firstIgnored_; }
    bool empty() const { return values_.empty(); }

    // Puts the answered values into the record; returns their value names.
    std::vector<const wchar_t*> applyTo(PortOptions& options) const;

private:
    bool wellFormed_ = false;
    std::vector<std::pair<const wchar_t*, std::wstring>> values_;
    size_t ignoredCount_ = 0;
    std::vector<std::wstring> firstIgnored_;
};

#include "PromptAnswers.h"

#include "PortKeys.h"
#include "PortValueRules.h"

#include <algorithm>
#include <cstring>
#include <cwchar>

namespace {

constexpr wchar_t kTag[] = L"QRXPromptAnswers/1";
// An ignored name is logged with at most this many characters.
constexpr size_t kLoggedNameChars = 64;
// and at most this many of them.
constexpr size_t kLoggedNames = 3;
// Four address lines have three line feeds between them.
constexpr size_t kAddressLineFeeds = 3;

bool isShow(const wchar_t* valueName) { return std::wcscmp(valueName, portvalue::kShow) == 0; }

void append(std::wstring& message, const std::wstring& item) {
    message += item;
    message += L'\0';
}

// The canonical value name for a name of the message, or null.
const wchar_t* optionValueName(const std::wstring& name) {
    if (name == portvalue::kShow) return portvalue::kShow;
    for (const OptionText& text : kOptionTexts)
        if (name == text.valueName) return text.valueName;
    return nullptr;
}

bool withinDialogLimits(const wchar_t* valueName, const std::wstring& text) {
    if (isShow(valueName)) return text == L"0" || text == L"1";
    if (text.size() > kLongestValueChars) return false;
    return std::wcscmp(valueName, portvalue::kAddress) != 0 ||
           static_cast<size_t>(std::count(text.begin(), text.end(), L'\n')) <= kAddressLineFeeds;
}

// The message's items, each ended by a NUL; false when the bytes are not
// whole UTF-16 units or the last item has no NUL.
bool splitItems(const std::string& message, std::vector<std::wstring>& items) {
    if (message.size() % sizeof(wchar_t) != 0) return false;
    std::wstring units(message.size() / sizeof(wchar_t), L'\0');
    std::memcpy(units.data(), message.data(), message.size());
    if (units.empty() || units.back() != L'\0') return false;
    for (size_t start = 0; start < units.size();) {
        size_t end = units.find(L'\0', start);
        items.push_back(units.substr(start, end - start));
        start = end + 1;
    }
    return true;
}

}  // namespace

std::string encodePromptAnswers(const PortOptions& options) {
    std::wstring message;
    append(message, kTag);
    for (const OptionText& text : kOptionTexts) {
        append(message, text.valueName);
        append(message, options.*text.field);
    }
    append(message, portvalue::kShow);
    append(message, options.promptFlag ? L"1" : L"0");
    append(message, L"");
    return std::string(reinterpret_cast<const char*>(message.data()), message.size() * sizeof(wchar_t));
}

PromptAnswers PromptAnswers::decode(const std::string& message) {
    PromptAnswers answers;
    std::vector<std::wstring> items;
    // The tag, pairs, and the empty name that ends them: an even count.
    if (!splitItems(message, items) || items.size() % 2 != 0 || items.front() != kTag || !items.back().empty())
        return answers;
    items.pop_back();
    for (size_t at = 1; at + 1 < items.size(); at += 2) {
        const std::wstring& name = items[at];
        const std::wstring& text = items[at + 1];
        if (name.empty()) return PromptAnswers();
        const wchar_t* valueName = optionValueName(name);
        const bool repeated = valueName && std::any_of(answers.values_.begin(), answers.values_.end(),
                                                       [&](const auto& value) { return value.first == valueName; });
        if (valueName && !repeated && withinDialogLimits(valueName, text))
            answers.values_.emplace_back(valueName, text);
        else if (++answers.ignoredCount_ <= kLoggedNames)
            answers.firstIgnored_.push_back(name.substr(0, kLoggedNameChars));
    }
    answers.wellFormed_ = true;
    return answers;
}

std::vector<const wchar_t*> PromptAnswers::applyTo(PortOptions& options) const {
    std::vector<const wchar_t*> names;
    for (const auto& [valueName, text] : values_) {
        names.push_back(valueName);
        if (isShow(valueName)) {
            options.promptFlag = text == L"1" ? 1 : 0;
            continue;
        }
        for (const OptionText& option : kOptionTexts)
            if (std::wcscmp(valueName, option.valueName) == 0) options.*option.field = text;
    }
    return names;
}

// How a port's stored values read, whoever reads them: the monitor through
// the spooler's registry functions, the prompt program through the registry.
// One set of rules, so that what the options dialog shows is what a job uses.
#pragma once

#include "PortRecords.h"
#include "RegistryKey.h"

#include <functional>
#include <optional>

// The longest string value read whole, in characters; a longer one reads as absent.
constexpr DWORD kLongestValueChars = 2048;
// The buffer a value is read through: the longest string and its NUL.
constexpr DWORD kValueBufferBytes = (kLongestValueChars + 1) * sizeof(wchar_t);

// Text of either string type (REG_EXPAND_SZ unexpanded), up to its first NUL
// and never beyond its stored size; a value of any other type reads as empty.
std::wstring storedText(const RegistryValue& value);

// 1 or 0. A number of up to four bytes is 1 when non-zero; text is 1 when it
// is a decimal number other than 0 (as "1" written by hand); anything else,
// longer numbers included, is 0.
DWORD storedFlag(const RegistryValue& value);

// A port's waiting time in minutes: a number of four bytes, or text that is
// a decimal number; absent or anything else gives the default.
DWORD storedRetryMinutes(const std::optional<RegistryValue>& value);
// A waiting time given as text: decimal minutes from 0 to the longest a port
// can be given; nullopt for anything else.
std::optional<DWORD> retryMinutesOf(const std::wstring& text);

// The option string values, in the order they are read and written; "Show"
// (the prompt flag) follows them.
struct OptionText {
    const wchar_t* valueName;
    std::wstring PortOptions::*field;
};
extern const OptionText kOptionTexts[6];

// Fetches one value of a port's key through a kValueBufferBytes buffer:
// nullopt when it is absent or does not fit.
using StoredValueReader = std::function<std::optional<RegistryValue>(const wchar_t* valueName)>;

// Fills the seven option fields by the rules above; an absent value gives
// empty text or 0.
void readPortOptions(const StoredValueReader& read, PortOptions& options);

// The answer the prompt program hands to the monitor: what a genuine answer
// carries, and what of a damaged or hostile one the monitor takes.
#include "PromptAnswers.h"

#include <gtest/gtest.h>

#include <optional>

namespace {

std::string wide(const std::wstring& text) {
    return std::string(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
}

// A message of these items, each ended by a NUL.
std::string itemsOf(std::initializer_list<std::wstring> items) {
    std::wstring message;
    for (const std::wstring& item : items) message += item + L'\0';
    return wide(message);
}

const std::wstring kTag = L"QRXPromptAnswers/1";

TEST(PromptAnswers, AGenuineAnswerCarriesTheSevenValuesWhole) {
    PortOptions typed(L"P1");
    typed.address = L"Main St 1\nSpringfield\n\n";
    typed.building = L"North";
    typed.department = L"Sales";
    typed.jobAttributes = std::wstring(2048, L'a');
    typed.name = L"Ann O'Hara";
    typed.room = L"12";
    typed.promptFlag = 1;
    const std::string message = encodePromptAnswers(typed);
    EXPECT_LT(message.size(), kLongestPromptAnswerBytes);

    const PromptAnswers answers = PromptAnswers::decode(message);
    ASSERT_TRUE(answers.wellFormed());
    EXPECT_EQ(answers.ignoredCount(), 0u);
    PortOptions received(L"P1");
    EXPECT_EQ(answers.applyTo(received).size(), 7u);
    EXPECT_EQ(received.address, typed.address);
    EXPECT_EQ(received.building, typed.building);
    EXPECT_EQ(received.department, typed.department);
    EXPECT_EQ(received.jobAttributes, typed.jobAttributes);
    EXPECT_EQ(received.name, typed.name);
    EXPECT_EQ(received.room, typed.room);
    EXPECT_EQ(received.promptFlag, 1u);
}

TEST(PromptAnswers, OnlyTheSevenValuesWithinTheDialogsLimitsAreTakenFromAWholeMessage) {
    struct Case {
        const char* what;
        std::string message;
        bool wellFormed;
        std::vector<std::wstring> ignored;
        std::optional<std::wstring> name;  // the name taken, if any
    };
    const std::wstring end;
    const Case cases[] = {
        {"a name", itemsOf({kTag, L"Name", L"Ann", end}), true, {}, L"Ann"},
        {"no values", itemsOf({kTag, end}), true, {}, std::nullopt},
        {"connection settings", itemsOf({kTag, L"Host", L"h", L"Printer", L"q", L"Port", L"1", L"Name", L"A", end}),
         true, {L"Host", L"Printer", L"Port"}, L"A"},
        {"a name in another letter case", itemsOf({kTag, L"name", L"A", end}), true, {L"name"}, std::nullopt},
        {"a name twice", itemsOf({kTag, L"Name", L"A", L"Name", L"B", end}), true, {L"Name"}, L"A"},
        {"a name longer than the dialog takes", itemsOf({kTag, L"Name", std::wstring(2049, L'x'), end}), true,
         {L"Name"}, std::nullopt},
        {"an address of five lines", itemsOf({kTag, L"Addr", L"1\n2\n3\n4\n5", end}), true, {L"Addr"}, std::nullopt},
        {"Show neither 0 nor 1", itemsOf({kTag, L"Show", L"2", end}), true, {L"Show"}, std::nullopt},
        {"a long unknown name is logged cut short", itemsOf({kTag, std::wstring(100, L'n'), L"v", end}), true,
         {std::wstring(64, L'n')}, std::nullopt},
        {"nothing", "", false, {}, std::nullopt},
        {"no end", itemsOf({kTag, L"Name", L"Ann"}), false, {}, std::nullopt},
        {"cut inside a value", itemsOf({kTag, L"Name"}) + wide(L"An"), false, {}, std::nullopt},
        {"an odd byte", itemsOf({kTag, L"Name", L"Ann", end}) + "x", false, {}, std::nullopt},
        {"another tag", itemsOf({L"QRXPromptAnswers/2", L"Name", L"Ann", end}), false, {}, std::nullopt},
        {"an empty name inside", itemsOf({kTag, end, L"Ann", L"Name", L"B", end}), false, {}, std::nullopt},
        {"bytes of no form", std::string(1000, '\x5A'), false, {}, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const PromptAnswers answers = PromptAnswers::decode(c.message);
        EXPECT_EQ(answers.wellFormed(), c.wellFormed);
        EXPECT_EQ(answers.firstIgnored(), c.ignored);
        EXPECT_EQ(answers.ignoredCount(), c.ignored.size());
        PortOptions options(L"P1");
        options.name = L"stored";
        answers.applyTo(options);
        EXPECT_EQ(options.name, c.name.value_or(L"stored"));
    }
}

}  // namespace

// The event message file QRX_EVENT_RU1033RI.DLL, read the way the event log
// viewer reads it: loaded as a data file, texts formatted with FormatMessageW
// with the event's insert string.
#include <gtest/gtest.h>

#include <windows.h>

#include <set>
#include <utility>
#include <vector>

#include "LibraryChecks.h"
#include "ResourceReading.h"
#include "TestPaths.h"

namespace {

using qrxtest::LoadedLibrary;

constexpr WORD kEnglish = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);  // 1033
constexpr WORD kFrench = MAKELANGID(LANG_FRENCH, SUBLANG_FRENCH);        // 1036

std::wstring messageFilePath() { return qrxtest::deliverablePath(L"QRX_EVENT_RU1033RI.DLL"); }

// Every event's text as stored in the table, each line ending in CR LF.
const struct {
    DWORD id;
    WORD language;
    const wchar_t* stored;
} kEvents[] = {
    {0xCFFE0001, kEnglish, L"UI system error:  %1\r\n"},
    {0xCFFF0001, kEnglish, L"Prentova Server LPD error:  %1\r\n"},
    {0xCFFF0003, kEnglish, L"Server system error:  %1\r\n"},
    {0xCFFE0001, kFrench, L"Erreur UI syst\u00E8me:  %1\r\n"},
    {0xCFFF0001, kFrench, L"Erreur du serveur LPD d'Prentova:  %1\r\n"},
    {0xCFFF0003, kFrench, L"Erreur serveur syst\u00E8me:  %1\r\n"},
};

TEST(EventMessageFile, ShowsEachEventWithItsInsertInEnglishAndFrench) {
    LoadedLibrary file(messageFilePath(), LOAD_LIBRARY_AS_DATAFILE);
    for (const auto& event : kEvents) {
        SCOPED_TRACE(testing::Message() << std::hex << event.id << " in language " << std::dec << event.language);
        DWORD_PTR inserts[] = {reinterpret_cast<DWORD_PTR>(L"T")};
        wchar_t text[512];
        const DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_ARGUMENT_ARRAY,
                                            file.handle(), event.id, event.language, text, ARRAYSIZE(text),
                                            reinterpret_cast<va_list*>(inserts));
        ASSERT_GT(length, 0u) << "FormatMessageW failed with error " << GetLastError();
        std::wstring shown = event.stored;
        shown.replace(shown.find(L"%1"), 2, L"T");
        EXPECT_EQ(std::wstring(text, length), shown);
    }
}

// FormatMessageW turns a bare line feed into CR LF, so the stored form is
// checked in the table itself.
TEST(EventMessageFile, StoresTheTextsAsUtf16InOneTablePerLanguage) {
    LoadedLibrary file(messageFilePath(), LOAD_LIBRARY_AS_DATAFILE);
    std::set<WORD> languages;
    for (const qrxtest::ResourceEntry& e : qrxtest::listResources(file.handle())) {
        if (e.type != qrxtest::ordinalName(11)) continue;
        EXPECT_EQ(e.name, qrxtest::ordinalName(1));
        languages.insert(e.language);
    }
    EXPECT_EQ(languages, (std::set<WORD>{kEnglish, kFrench}));

    for (WORD language : {kEnglish, kFrench}) {
        SCOPED_TRACE(language);
        const auto table = qrxtest::resourceBytes(file.handle(), RT_MESSAGETABLE, MAKEINTRESOURCEW(1), language);
        ASSERT_FALSE(table.empty());
        std::vector<std::pair<DWORD, std::wstring>> expected, stored;
        for (const auto& event : kEvents)
            if (event.language == language) expected.emplace_back(event.id, event.stored);
        for (const qrxtest::MessageEntry& entry : qrxtest::parseMessageTable(table)) {
            EXPECT_TRUE(entry.unicode) << std::hex << entry.id;
            stored.emplace_back(entry.id, entry.text);
        }
        EXPECT_EQ(stored, expected);
    }
}

TEST(EventMessageFile, CarriesTheLibraryManifestOnly) {
    LoadedLibrary file(messageFilePath(), LOAD_LIBRARY_AS_DATAFILE);
    qrxtest::expectOwnManifestOnly(file.handle(), kEnglish);
}

TEST(EventMessageFile, LoadsAndFreesAsAPlainLibrary) { qrxtest::expectPlainResourceLibrary(messageFilePath()); }

}  // namespace

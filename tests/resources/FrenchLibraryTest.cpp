// The French language library QRXPM1036U.dll, read back from the build and
// compared with the English one: the same resources under the same ids, the
// same controls in each dialog, every text in French, with the English
// message identifiers and inserts, and the same icons and version.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <map>
#include <regex>
#include <set>
#include <utility>

#include "LibraryChecks.h"
#include "ResourceReading.h"
#include "TestPaths.h"

namespace {

using qrxtest::LoadedLibrary;

constexpr WORD kEnglishUS = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);
constexpr WORD kFrench = MAKELANGID(LANG_FRENCH, SUBLANG_FRENCH);

std::wstring englishPath() { return qrxtest::deliverablePath(L"QRXPM1033U.dll"); }
std::wstring frenchPath() { return qrxtest::deliverablePath(L"QRXPM1036U.dll"); }

// Texts that stay as they are in French, and why.
const std::map<std::wstring, const char*> kSameInFrench = {
    {L"Prentova Port Monitor", "the name the monitor is registered with, which the spooler matches"},
    {L"Description", "the French word"},
    {L"Options", "the French word"},
    {L"OK", "the French button text"},
    {L"List1", "the list view's window text, never shown"},
    {L"#102", "the header icon"},
    {L"", "an edit control starts empty"},
};

// A translated text: non-empty where the English one is, and another text
// unless the English one is among those that stay.
void expectTranslated(const std::wstring& english, const std::wstring& french) {
    EXPECT_EQ(french.empty(), english.empty()) << "English \"" << testing::PrintToString(english) << "\"";
    if (kSameInFrench.count(english) == 0) {
        EXPECT_NE(french, english) << "not translated";
    }
}

class FrenchLibrary : public testing::Test {
protected:
    LoadedLibrary english_{englishPath(), LOAD_LIBRARY_AS_DATAFILE};
    LoadedLibrary french_{frenchPath(), LOAD_LIBRARY_AS_DATAFILE};
};

// Types and names of a library's resources, without their language.
std::set<std::pair<std::wstring, std::wstring>> idsOf(const std::set<qrxtest::ResourceEntry>& entries) {
    std::set<std::pair<std::wstring, std::wstring>> ids;
    for (const qrxtest::ResourceEntry& e : entries) ids.insert({e.type, e.name});
    return ids;
}

TEST_F(FrenchLibrary, HoldsTheEnglishResourceIdsAllInFrench) {
    const auto englishEntries = qrxtest::listResources(english_.handle());
    const auto frenchEntries = qrxtest::listResources(french_.handle());
    // Dialogs, string blocks, icon groups and images, version and manifest.
    EXPECT_EQ(idsOf(frenchEntries), idsOf(englishEntries));
    for (const qrxtest::ResourceEntry& e : frenchEntries)
        EXPECT_EQ(e.language, kFrench) << "resource " << testing::PrintToString(e.type) << "/"
                                       << testing::PrintToString(e.name);
    qrxtest::expectOwnManifestOnly(french_.handle(), kFrench);
}

// ---------------------------------------------------------------- dialogs

class FrenchDialog : public FrenchLibrary, public testing::WithParamInterface<int> {};

TEST_P(FrenchDialog, HasTheEnglishControlsWithFrenchTexts) {
    const int id = GetParam();
    const auto englishBytes = qrxtest::resourceBytes(english_.handle(), RT_DIALOG, MAKEINTRESOURCEW(id), kEnglishUS);
    const auto frenchBytes = qrxtest::resourceBytes(french_.handle(), RT_DIALOG, MAKEINTRESOURCEW(id), kFrench);
    ASSERT_FALSE(englishBytes.empty());
    ASSERT_FALSE(frenchBytes.empty()) << "no French dialog " << id;
    const qrxtest::DialogTemplate english = qrxtest::parseDialogTemplate(englishBytes);
    const qrxtest::DialogTemplate french = qrxtest::parseDialogTemplate(frenchBytes);

    EXPECT_EQ(french.extended, english.extended);
    EXPECT_EQ(french.style, english.style);
    EXPECT_EQ(french.cx, english.cx);
    EXPECT_EQ(french.cy, english.cy);
    EXPECT_EQ(french.fontName, english.fontName);
    EXPECT_EQ(french.pointSize, english.pointSize);
    expectTranslated(english.caption, french.caption);

    ASSERT_EQ(french.controls.size(), english.controls.size());
    for (std::size_t i = 0; i < english.controls.size(); ++i) {
        const qrxtest::DialogControl& e = english.controls[i];
        const qrxtest::DialogControl& f = french.controls[i];
        SCOPED_TRACE("control " + std::to_string(e.id) + " in tab place " + std::to_string(i));
        EXPECT_EQ(f.id, e.id);
        EXPECT_EQ(f.windowClass, e.windowClass);
        EXPECT_EQ(f.style, e.style);
        expectTranslated(e.text, f.text);
        // Wider controls must still lie inside the dialog.
        EXPECT_GE(f.x, 0);
        EXPECT_GE(f.y, 0);
        EXPECT_LE(f.x + f.cx, french.cx);
        EXPECT_LE(f.y + f.cy, french.cy);
    }
}

INSTANTIATE_TEST_SUITE_P(Dialogs, FrenchDialog, testing::Values(101, 106, 107),
                         [](const testing::TestParamInfo<int>& info) { return "Dialog" + std::to_string(info.param); });

// ---------------------------------------------------------------- strings

// The strings of a library by id, read from its string blocks (16 counted
// strings each, block n holding the ids 16 * (n - 1) to 16 * n - 1).
std::map<UINT, std::wstring> stringTable(HMODULE module, WORD language) {
    std::map<UINT, std::wstring> strings;
    for (const qrxtest::ResourceEntry& e : qrxtest::listResources(module)) {
        if (e.type != qrxtest::ordinalName(6)) continue;
        const UINT block = std::stoul(e.name.substr(1));
        const auto bytes = qrxtest::resourceBytes(module, RT_STRING, MAKEINTRESOURCEW(block), language);
        std::size_t at = 0;
        for (UINT i = 0; i < 16 && at + 2 <= bytes.size(); ++i) {
            WORD length;
            std::memcpy(&length, bytes.data() + at, 2);
            at += 2;
            std::wstring text(length, L'\0');
            if (at + 2 * length > bytes.size()) break;
            std::memcpy(text.data(), bytes.data() + at, 2 * length);
            at += 2 * length;
            if (length > 0) strings[(block - 1) * 16 + i] = text;
        }
    }
    return strings;
}

// The message identifier a text starts with ("VAV5001I"), or nothing.
std::wstring identifierOf(const std::wstring& text) {
    std::wsmatch match;
    return std::regex_search(text, match, std::wregex(LR"(^[A-Z]{3}\d{4}[IWE] )")) ? match.str() : L"";
}

std::multiset<std::wstring> insertsOf(const std::wstring& text) {
    std::multiset<std::wstring> inserts;
    const std::wregex insert(LR"(%\d)");
    for (auto it = std::wsregex_iterator(text.begin(), text.end(), insert); it != std::wsregex_iterator(); ++it)
        inserts.insert(it->str());
    return inserts;
}

TEST_F(FrenchLibrary, HoldsEveryEnglishStringInFrenchWithItsIdentifierAndInserts) {
    const auto english = stringTable(english_.handle(), kEnglishUS);
    const auto french = stringTable(french_.handle(), kFrench);
    ASSERT_EQ(english.size(), 50u) << "the string table the modules are written against";
    std::set<UINT> englishIds, frenchIds;
    for (const auto& [id, text] : english) englishIds.insert(id);
    for (const auto& [id, text] : french) frenchIds.insert(id);
    EXPECT_EQ(frenchIds, englishIds);

    for (const auto& [id, text] : english) {
        SCOPED_TRACE(id);
        auto found = french.find(id);
        if (found == french.end()) continue;
        expectTranslated(text, found->second);
        EXPECT_EQ(identifierOf(found->second), identifierOf(text));
        EXPECT_EQ(insertsOf(found->second), insertsOf(text));
    }
}

// ---------------------------------------------------------------- icons, version, loading

TEST_F(FrenchLibrary, CarriesTheEnglishIconsByteForByte) {
    for (const qrxtest::ResourceEntry& e : qrxtest::listResources(english_.handle())) {
        if (e.type != qrxtest::ordinalName(3) && e.type != qrxtest::ordinalName(14)) continue;  // images, groups
        SCOPED_TRACE(testing::PrintToString(e.type + L"/" + e.name));
        const LPCWSTR type = MAKEINTRESOURCEW(std::stoul(e.type.substr(1)));
        const LPCWSTR name = MAKEINTRESOURCEW(std::stoul(e.name.substr(1)));
        const auto englishBytes = qrxtest::resourceBytes(english_.handle(), type, name, kEnglishUS);
        ASSERT_FALSE(englishBytes.empty());
        EXPECT_EQ(qrxtest::resourceBytes(french_.handle(), type, name, kFrench), englishBytes);
    }
}

struct VersionInfo {
    std::vector<std::uint8_t> data;
    explicit VersionInfo(const std::wstring& path) {
        DWORD ignored = 0;
        data.resize(GetFileVersionInfoSizeW(path.c_str(), &ignored));
        if (!data.empty() && !GetFileVersionInfoW(path.c_str(), 0, static_cast<DWORD>(data.size()), data.data()))
            data.clear();
    }
    // The value under a query path, as bytes; empty when there is none.
    std::vector<std::uint8_t> value(const std::wstring& query, bool text) {
        void* found = nullptr;
        UINT length = 0;
        if (data.empty() || !VerQueryValueW(data.data(), query.c_str(), &found, &length)) return {};
        const auto* bytes = static_cast<const std::uint8_t*>(found);
        return std::vector<std::uint8_t>(bytes, bytes + (text ? length * sizeof(wchar_t) : length));
    }
};

TEST(FrenchLibraryVersion, IsTheEnglishVersionUnderTheFrenchLanguage) {
    VersionInfo english(englishPath()), french(frenchPath());
    ASSERT_FALSE(french.data.empty()) << "no version resource";
    EXPECT_EQ(french.value(L"\\", false), english.value(L"\\", false)) << "file and product version, type, system";

    const auto translation = french.value(L"\\VarFileInfo\\Translation", false);
    ASSERT_EQ(translation.size(), 2 * sizeof(WORD)) << "exactly one language and code page";
    WORD pair[2];
    std::memcpy(pair, translation.data(), sizeof pair);
    EXPECT_EQ(pair[0], 0x040C);
    EXPECT_EQ(pair[1], 1200);

    for (const wchar_t* name :
         {L"CompanyName", L"FileDescription", L"FileVersion", L"InternalName", L"ProductName", L"ProductVersion"}) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(name)));
        const auto value = french.value(std::wstring(L"\\StringFileInfo\\040c04b0\\") + name, true);
        ASSERT_FALSE(value.empty());
        EXPECT_EQ(value, english.value(std::wstring(L"\\StringFileInfo\\040904b0\\") + name, true));
    }
}

TEST(FrenchLibraryLoading, LoadsAndFreesQuietlyAsAPlainLibrary) { qrxtest::expectPlainResourceLibrary(frenchPath()); }

}  // namespace

#include "EventIds.h"
#include "MappedImages.h"
#include "ModuleState.h"
#include "RegistryKey.h"
#include "TestPaths.h"
#include "Utilities.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cwctype>
#include <vector>

namespace {

TEST(ResourceLibraryName, CarriesTheWholeLanguageId) {
    EXPECT_EQ(resourceLibraryName(1033), L"QRXPM1033U.dll");
    EXPECT_EQ(resourceLibraryName(2057), L"QRXPM2057U.dll");
    EXPECT_EQ(resourceLibraryName(1036), L"QRXPM1036U.dll");
}

TEST(UserUILanguage, FollowsTheTestEnvironment) {
    // The tests run with LANG=C, which Wine takes for English (United States).
    EXPECT_EQ(Utilities::userUILanguage(), 1033);
}

// The search over two folders with a stand-in loader: each attempt records the
// full path it was given and, when it fails, leaves an error of its own.
struct SearchCase {
    const char* what;
    LANGID language;
    std::vector<std::wstring> present;  // the paths that load
    std::vector<std::wstring> tried;    // the paths tried, in order
};

const std::wstring kModuleFolder = L"C:\\Program Files\\Module";
const std::wstring kSystemFolder = L"C:\\Windows\\System32";
std::wstring inModule(const wchar_t* name) { return kModuleFolder + L"\\" + name; }
std::wstring inSystem(const wchar_t* name) { return kSystemFolder + L"\\" + name; }

TEST(ResourceLibrarySearch, TriesEachNameInTheModulesFolderThenTheSystemDirectory) {
    const SearchCase cases[] = {
        {"a language without a library of its own takes English from the module's folder", 1031,
         {inModule(L"QRXPM1033U.dll"), inSystem(L"QRXPM1033U.dll")},
         {inModule(L"QRXPM1031U.dll"), inSystem(L"QRXPM1031U.dll"), inModule(L"QRXPM1033U.dll")}},
        {"a language without a library of its own takes English from the system directory", 1031,
         {inSystem(L"QRXPM1033U.dll")},
         {inModule(L"QRXPM1031U.dll"), inSystem(L"QRXPM1031U.dll"), inModule(L"QRXPM1033U.dll"),
          inSystem(L"QRXPM1033U.dll")}},
        {"the user's language only in the system directory wins over English in the module's folder", 1031,
         {inSystem(L"QRXPM1031U.dll"), inModule(L"QRXPM1033U.dll")},
         {inModule(L"QRXPM1031U.dll"), inSystem(L"QRXPM1031U.dll")}},
        {"English is tried once in each folder", 1033, {},
         {inModule(L"QRXPM1033U.dll"), inSystem(L"QRXPM1033U.dll")}},
    };
    constexpr DWORD kFirstError = 40000;
    for (const SearchCase& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::wstring> tried;
        auto load = [&](const std::wstring& path) -> HMODULE {
            tried.push_back(path);
            if (std::find(c.present.begin(), c.present.end(), path) != c.present.end())
                return reinterpret_cast<HMODULE>(static_cast<ULONG_PTR>(tried.size()));
            SetLastError(kFirstError + static_cast<DWORD>(tried.size()));
            return nullptr;
        };
        SetLastError(0);
        HMODULE library = loadResourceLibrary(c.language, {kModuleFolder, kSystemFolder}, load);
        DWORD error = GetLastError();
        EXPECT_EQ(tried, c.tried);
        if (c.present.empty()) {
            EXPECT_EQ(library, nullptr);
            EXPECT_EQ(error, kFirstError + c.tried.size()) << "the error of the final attempt";
        } else {
            EXPECT_EQ(library, reinterpret_cast<HMODULE>(static_cast<ULONG_PTR>(c.tried.size())))
                << "the handle of the last path tried";
        }
    }
}

std::wstring folderOf(const std::wstring& path) { return path.substr(0, path.find_last_of(L'\\')); }

bool isAbsolute(const std::wstring& path) {
    bool drive = path.size() > 2 && iswalpha(path[0]) && path[1] == L':' && path[2] == L'\\';
    return drive || path.rfind(L"\\\\", 0) == 0;
}

TEST(ResourceLibraryFolders, AreTheRunningModulesFolderThenTheSystemDirectory) {
    wchar_t program[MAX_PATH] = {};
    ASSERT_NE(GetModuleFileNameW(nullptr, program, MAX_PATH), 0u);
    const std::wstring system = folderOf(qrxtest::systemFilePath(L"x"));
    struct {
        const char* what;
        HMODULE module;
        std::vector<std::wstring> folders;
    } const cases[] = {
        {"a program: its own folder", nullptr, {folderOf(program), system}},
        {"a module in the system directory: that folder once", GetModuleHandleW(L"kernel32.dll"), {system}},
    };
    const HMODULE saved = module::instanceHandle();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        module::setInstanceHandle(c.module);
        std::vector<std::wstring> folders = resourceLibraryFolders();
        EXPECT_EQ(folders, c.folders);
        for (const std::wstring& folder : folders) {
            EXPECT_TRUE(isAbsolute(folder)) << folder;
            EXPECT_NE(folder.back(), L'\\') << folder;
        }
    }
    module::setInstanceHandle(saved);
}

// Stand-in language libraries in a scratch folder: copies of the built
// English library under other languages' names, mapped as the modules map
// them.
class ResourceFallback : public testing::Test {
protected:
    void addLibrary(LANGID language) {
        ASSERT_TRUE(CopyFileW(qrxtest::deliverablePath(L"QRXPM1033U.dll").c_str(),
                              folder_.file(resourceLibraryName(language)).c_str(), FALSE));
    }

    HMODULE load(LANGID language) {
        return keep(loadResourceLibrary(language, {folder_.path()}, [this](const std::wstring& path) {
            tried_.push_back(path);
            return mapResourceLibrary(path);
        }));
    }

    static std::wstring fileNameOf(HMODULE library) {
        std::wstring full = qrxtest::mappedFileName(library);
        return full.substr(full.find_last_of(L'\\') + 1);
    }

    void TearDown() override {
        for (HMODULE library : loaded_) FreeLibrary(library);
    }

    HMODULE keep(HMODULE library) {
        if (library) loaded_.push_back(library);
        return library;
    }

    qrxtest::ScratchFolder folder_{L"languages"};
    std::vector<std::wstring> tried_;
    std::vector<HMODULE> loaded_;
};

TEST_F(ResourceFallback, TheUsersLanguageWinsWhenPresent) {
    addLibrary(1033);
    addLibrary(1036);
    HMODULE library = load(1036);
    ASSERT_NE(library, nullptr);
    EXPECT_EQ(fileNameOf(library), L"QRXPM1036U.dll");
    EXPECT_EQ(tried_, std::vector<std::wstring>{folder_.file(L"QRXPM1036U.dll")});
}

TEST_F(ResourceFallback, AMissingLanguageFallsBackToEnglish) {
    addLibrary(1033);
    HMODULE library = load(1036);
    ASSERT_NE(library, nullptr);
    EXPECT_EQ(fileNameOf(library), L"QRXPM1033U.dll");
    EXPECT_EQ(tried_, (std::vector<std::wstring>{folder_.file(L"QRXPM1036U.dll"), folder_.file(L"QRXPM1033U.dll")}));
}

TEST_F(ResourceFallback, TheSubLanguageIsPartOfTheName) {
    addLibrary(1033);
    addLibrary(2057);
    HMODULE library = load(2057);
    ASSERT_NE(library, nullptr);
    EXPECT_EQ(fileNameOf(library), L"QRXPM2057U.dll");
}

TEST_F(ResourceFallback, EnglishIsTriedOnceAndItsAbsenceFailsWithTheLastError) {
    SetLastError(0xdeadbeef);
    EXPECT_EQ(load(1033), nullptr);
    EXPECT_EQ(tried_, std::vector<std::wstring>{folder_.file(L"QRXPM1033U.dll")});
    // Mapping a file that is not there fails as opening it does.
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

// The vendor key is the machine's; each test restores what it found.
class HelpFilePath : public testing::Test {
protected:
    void SetUp() override {
        if (auto key = RegistryKey::open(HKEY_LOCAL_MACHINE, kVendorKeyPath, KEY_READ))
            saved_ = key->readString(L"INSTALLDIR", 4096);
    }
    void TearDown() override {
        if (saved_)
            setInstallDir(*saved_);
        else
            RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kVendorKeyPath, L"INSTALLDIR");
    }
    static void setInstallDir(const std::wstring& dir) {
        auto key = RegistryKey::create(HKEY_LOCAL_MACHINE, kVendorKeyPath, KEY_SET_VALUE);
        ASSERT_TRUE(key.has_value());
        ASSERT_EQ(key->setString(L"INSTALLDIR", dir), ERROR_SUCCESS);
    }
    std::optional<std::wstring> saved_;
};

TEST_F(HelpFilePath, IsTheInstallDirectoryAndTheHelpFile) {
    setInstallDir(L"C:\\Dir\\");
    EXPECT_EQ(Utilities::helpFilePath(), L"C:\\Dir\\Help\\QRXMH409.chm");
    setInstallDir(L"C:\\Dir");
    EXPECT_EQ(Utilities::helpFilePath(), L"C:\\DirHelp\\QRXMH409.chm");
}

TEST_F(HelpFilePath, IsEmptyWithoutAnInstallDirectoryOrWithOneTooLong) {
    RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kVendorKeyPath, L"INSTALLDIR");
    EXPECT_EQ(Utilities::helpFilePath(), L"");
    setInstallDir(L"C:\\" + std::wstring(256, L'd'));  // 259 characters: the longest that fits
    EXPECT_EQ(Utilities::helpFilePath(), L"C:\\" + std::wstring(256, L'd') + L"Help\\QRXMH409.chm");
    setInstallDir(L"C:\\" + std::wstring(257, L'd'));
    EXPECT_EQ(Utilities::helpFilePath(), L"");
}

TEST(ShowHelpTopic, DoesNothingWithoutAHelpPath) {
    module::setHelpFilePath(L"");
    showHelpTopic(101);
    EXPECT_EQ(GetModuleHandleW(L"hhctrl.ocx"), nullptr);
}

class EventSourceRegistration : public testing::Test {
protected:
    const std::wstring source_ = L"QRX Test Source";
    const std::wstring path_ = L"SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\" + source_;
    void TearDown() override { RegDeleteKeyW(HKEY_LOCAL_MACHINE, path_.c_str()); }
};

TEST_F(EventSourceRegistration, WritesTheMessageFileAndTypesIntoAnExistingKey) {
    ASSERT_TRUE(RegistryKey::create(HKEY_LOCAL_MACHINE, path_, KEY_ALL_ACCESS).has_value());
    registerEventSource(source_);

    wchar_t text[128] = {};
    DWORD type = 0, size = sizeof text;
    ASSERT_EQ(RegGetValueW(HKEY_LOCAL_MACHINE, path_.c_str(), L"EventMessageFile", RRF_RT_ANY | RRF_NOEXPAND, &type,
                           text, &size),
              ERROR_SUCCESS);
    std::wstring expected = L"%SystemRoot%\\System32\\QRX_EVENT_RU1033RI.DLL";
    EXPECT_EQ(type, static_cast<DWORD>(REG_EXPAND_SZ));
    EXPECT_EQ(std::wstring(text), expected);
    EXPECT_EQ(size, (expected.size() + 1) * sizeof(wchar_t));

    DWORD types = 0;
    size = sizeof types;
    ASSERT_EQ(RegGetValueW(HKEY_LOCAL_MACHINE, path_.c_str(), L"TypesSupported", RRF_RT_REG_DWORD, nullptr, &types,
                           &size),
              ERROR_SUCCESS);
    EXPECT_EQ(types, 7u);
}

TEST_F(EventSourceRegistration, CreatesNothingWhenTheKeyIsMissing) {
    registerEventSource(source_);
    EXPECT_FALSE(RegistryKey::open(HKEY_LOCAL_MACHINE, path_, KEY_READ).has_value());
}

}  // namespace

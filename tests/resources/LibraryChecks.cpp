#include "LibraryChecks.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <set>

#include "ResourceReading.h"

namespace qrxtest {

void expectPlainResourceLibrary(const std::wstring& path) {
    HMODULE module = LoadLibraryW(path.c_str());
    ASSERT_NE(module, nullptr) << "LoadLibraryW failed with error " << GetLastError();
    EXPECT_EQ(exportedFunctionCount(module), 0u);
    const std::vector<std::string> imports = importedLibraries(module);
    EXPECT_FALSE(imports.empty());
    for (std::string name : imports) {
        std::transform(name.begin(), name.end(), name.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        EXPECT_TRUE(name == "kernel32.dll" || name == "msvcrt.dll") << "imports " << name;
    }
    EXPECT_TRUE(FreeLibrary(module)) << "FreeLibrary failed with error " << GetLastError();
}

void expectOwnManifestOnly(HMODULE module, WORD language) {
    std::set<std::wstring> manifests;
    for (const ResourceEntry& e : listResources(module))
        if (e.type == ordinalName(24)) manifests.insert(e.name);
    EXPECT_EQ(manifests, std::set<std::wstring>{ordinalName(2)});

    const std::vector<std::uint8_t> bytes = resourceBytes(module, RT_MANIFEST, MAKEINTRESOURCEW(2), language);
    ASSERT_FALSE(bytes.empty()) << "no manifest 2 in language " << language;
    const ExecutionLevel level = requestedExecutionLevel(std::string(bytes.begin(), bytes.end()));
    EXPECT_EQ(level.level, "asInvoker");
    EXPECT_EQ(level.uiAccess, "false");
}

}  // namespace qrxtest

// The prompt program's resources: its manifest and nothing else, since every
// dialog and text comes from the language library.
#include <gtest/gtest.h>

#include <windows.h>

#include <set>

#include "ResourceReading.h"
#include "TestPaths.h"

namespace {

TEST(PromptProgramResources, TheOnlyResourceIsAManifestToRunAsTheInvokerWithoutUIAccess) {
    qrxtest::LoadedLibrary program(qrxtest::deliverablePath(L"QRXPromptApp.exe"),
                                   LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    const std::set<qrxtest::ResourceEntry> resources = qrxtest::listResources(program.handle());
    ASSERT_EQ(resources.size(), 1u);
    const qrxtest::ResourceEntry& manifest = *resources.begin();
    EXPECT_EQ(manifest.type, qrxtest::ordinalName(24));
    EXPECT_EQ(manifest.name, qrxtest::ordinalName(1));
    const std::vector<std::uint8_t> bytes =
        qrxtest::resourceBytes(program.handle(), RT_MANIFEST, MAKEINTRESOURCEW(1), manifest.language);
    const qrxtest::ExecutionLevel level = qrxtest::requestedExecutionLevel(std::string(bytes.begin(), bytes.end()));
    EXPECT_EQ(level.level, "asInvoker");
    EXPECT_EQ(level.uiAccess, "false");
}

}  // namespace

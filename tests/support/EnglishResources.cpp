#include "ModuleState.h"
#include "Recorders.h"
#include "TestPaths.h"
#include "Utilities.h"

#include <gtest/gtest.h>

namespace qrxtest {

namespace {

class EnglishResources : public testing::Environment {
public:
    void SetUp() override {
        library_ = mapEnglishResources();
        ASSERT_NE(library_, nullptr) << "cannot load the built QRXPM1033U.dll";
    }
    void TearDown() override {
        module::setResources(nullptr);
        FreeLibrary(library_);
    }

private:
    HMODULE library_ = nullptr;
};

}  // namespace

HMODULE mapEnglishResources() {
    // Mapped as the modules map it, so that texts are read as they are there.
    HMODULE library = mapResourceLibrary(deliverablePath(L"QRXPM1033U.dll"));
    if (library) module::setResources(library);
    return library;
}

void useEnglishResources() { testing::AddGlobalTestEnvironment(new EnglishResources); }

}  // namespace qrxtest

// Checks that both resource deliverables must pass.
#pragma once
#include <windows.h>

#include <string>

namespace qrxtest {

// The library loads and unloads with LoadLibraryW and FreeLibrary, exports
// nothing and imports system libraries only (it is installed in the system
// folder, where no compiler run-time library is found).
void expectPlainResourceLibrary(const std::wstring& path);

// The library's only manifest is resource 2 in the given language and asks to
// run with the caller's rights and without UI access.
void expectOwnManifestOnly(HMODULE module, WORD language);

}  // namespace qrxtest

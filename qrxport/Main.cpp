// qrxport: the administrator's command for the ports of the Prentova Port
// Monitor (qrxport --help). Its texts come from the language library, which
// it loads like the other modules do, by full path from its own folder or
// the system directory.
#include "ModuleState.h"
#include "PortCommands.h"
#include "TextFiles.h"
#include "Utilities.h"

#include <windows.h>

#include <sstream>
#include <string>
#include <vector>

namespace {

// The language library of the user's language (else English), the module's
// resources while the object lives.
class ResourceLibrary {
public:
    ResourceLibrary() : library_(loadResourceLibrary()) { module::setResources(library_); }
    ~ResourceLibrary() {
        module::setResources(nullptr);
        if (library_) FreeLibrary(library_);
    }
    ResourceLibrary(const ResourceLibrary&) = delete;
    ResourceLibrary& operator=(const ResourceLibrary&) = delete;
    bool loaded() const { return library_ != nullptr; }

private:
    HMODULE library_;
};

// To a console as it is; to a file or pipe as UTF-8 with CR LF line ends.
void writeText(DWORD stream, const std::wstring& text) {
    HANDLE handle = GetStdHandle(stream);
    if (text.empty() || !handle || handle == INVALID_HANDLE_VALUE) return;
    DWORD mode = 0, written = 0;
    if (GetConsoleMode(handle, &mode)) {
        WriteConsoleW(handle, text.c_str(), static_cast<DWORD>(text.size()), &written, nullptr);
        return;
    }
    std::string bytes = fileText(text);
    WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    ResourceLibrary resources;
    if (!resources.loaded()) {
        DWORD code = GetLastError();
        writeText(STD_ERROR_HANDLE, L"qrxport: the language library " + resourceLibraryName(kEnglishLanguage) +
                                        L" cannot be loaded (error " + std::to_wstring(code) + L")\n");
        return 1;
    }
    std::wostringstream out, err;
    int status = runCommandLine(std::vector<std::wstring>(argv + 1, argv + argc), out, err);
    writeText(STD_OUTPUT_HANDLE, out.str());
    writeText(STD_ERROR_HANDLE, err.str());
    return status;
}

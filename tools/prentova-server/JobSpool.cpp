#include "JobSpool.h"
#include "ServerErrors.h"
#include "Text.h"

#include <windows.h>

#include <cctype>
#include <cstdio>
#include <cstring>

namespace refserver {

namespace {

bool isReservedDeviceName(const std::string& name) {
    std::string stem = name.substr(0, name.find('.'));
    for (auto& c : stem) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (stem == "CON" || stem == "PRN" || stem == "AUX" || stem == "NUL" || stem == "CONIN$" || stem == "CONOUT$")
        return true;
    return stem.size() == 4 && (stem.compare(0, 3, "COM") == 0 || stem.compare(0, 3, "LPT") == 0) &&
           stem[3] >= '0' && stem[3] <= '9';
}

void createFolders(const std::wstring& folder) {
    if (CreateDirectoryW(folder.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS) return;
    size_t cut = folder.find_last_of(L"\\/");
    if (GetLastError() == ERROR_PATH_NOT_FOUND && cut != std::wstring::npos && cut > 0) {
        createFolders(folder.substr(0, cut));
        if (CreateDirectoryW(folder.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS) return;
    }
    throw SetupError("cannot create the spool folder " + toUtf8(folder) + ": error " +
                     std::to_string(GetLastError()));
}

}  // namespace

std::string unsafeFileNameReason(const std::string& name) {
    if (name.empty()) return "empty file name";
    if (name.size() > 200) return "file name longer than 200 bytes";
    for (unsigned char c : name) {
        if (c <= 0x20 || c == 0x7F) return "control character or blank in file name";
        if (std::strchr("\\/:*?\"<>|", c)) return "path or wildcard character in file name";
    }
    if (name.back() == '.') return "file name ends with a dot";
    if (isReservedDeviceName(name)) return "file name reserved for a device";
    return {};
}

SpoolFile::SpoolFile(const std::wstring& path)
    : file_(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr)) {
    if (!file_) throw SpoolError("creating " + toUtf8(path), GetLastError());
}

void SpoolFile::write(const void* bytes, size_t count) {
    auto* p = static_cast<const char*>(bytes);
    while (count > 0) {
        DWORD piece = count > 0x10000000 ? 0x10000000 : static_cast<DWORD>(count);
        DWORD written = 0;
        if (!WriteFile(file_.get(), p, piece, &written, nullptr) || written == 0)
            throw SpoolError("writing a spool file", GetLastError());
        p += written;
        count -= written;
    }
}

JobFolder::~JobFolder() {
    if (kept_ || path_.empty()) return;
    for (const auto& file : files_) DeleteFileW(file.c_str());
    RemoveDirectoryW(path_.c_str());
}

std::unique_ptr<SpoolFile> JobFolder::create(const std::string& name) {
    if (path_.empty()) return nullptr;
    std::wstring file = path_ + L"\\" + fromCp1252(name);
    auto spoolFile = std::make_unique<SpoolFile>(file);
    files_.push_back(file);
    return spoolFile;
}

JobSpool::JobSpool(std::wstring folder) : folder_(std::move(folder)) {
    while (folder_.size() > 3 && (folder_.back() == L'\\' || folder_.back() == L'/')) folder_.pop_back();
    if (!folder_.empty()) createFolders(folder_);
}

std::unique_ptr<JobFolder> JobSpool::newJob() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (folder_.empty()) return std::make_unique<JobFolder>(std::wstring(), next_++);
    // Folders of earlier runs are skipped, not reused.
    for (int attempt = 0; attempt < 100000; ++attempt) {
        unsigned number = next_++;
        wchar_t name[32];
        std::swprintf(name, 32, L"\\job-%04u", number);
        std::wstring path = folder_ + name;
        if (CreateDirectoryW(path.c_str(), nullptr)) return std::make_unique<JobFolder>(path, number);
        if (GetLastError() != ERROR_ALREADY_EXISTS) throw SpoolError("creating a job folder", GetLastError());
    }
    throw SpoolError("finding a free job folder", ERROR_ALREADY_EXISTS);
}

}  // namespace refserver

#include "TestPaths.h"

#include <windows.h>

#include <stdexcept>

namespace qrxtest {

std::wstring deliverablesFolder() { return QRX_TEST_DELIVERABLES_DIR; }

std::wstring deliverablePath(const std::wstring& fileName) { return deliverablesFolder() + L"\\" + fileName; }

std::wstring plantedLibraryPath() { return QRX_TEST_PLANTED_LIBRARY; }

std::wstring systemFilePath(const std::wstring& fileName) {
    wchar_t folder[MAX_PATH];
    UINT length = GetSystemDirectoryW(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) throw std::runtime_error("GetSystemDirectoryW failed");
    return std::wstring(folder, length) + L"\\" + fileName;
}

SystemFileAside::SystemFileAside(const std::wstring& fileName)
    : path_(systemFilePath(fileName)), aside_(path_ + L".aside") {
    DeleteFileW(aside_.c_str());
    if (!MoveFileW(path_.c_str(), aside_.c_str())) throw std::runtime_error("cannot put a system file aside");
}

SystemFileAside::~SystemFileAside() { MoveFileW(aside_.c_str(), path_.c_str()); }

namespace {

void removeTree(const std::wstring& folder) {
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &entry);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::wstring name = entry.cFileName;
            if (name == L"." || name == L"..") continue;
            std::wstring full = folder + L"\\" + name;
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                removeTree(full);
            else
                DeleteFileW(full.c_str());
        } while (FindNextFileW(search, &entry));
        FindClose(search);
    }
    RemoveDirectoryW(folder.c_str());
}

}  // namespace

ScratchFolder::ScratchFolder(const std::wstring& purpose) {
    wchar_t temp[MAX_PATH];
    DWORD length = GetTempPathW(MAX_PATH, temp);
    if (length == 0 || length >= MAX_PATH) throw std::runtime_error("GetTempPathW failed");
    path_ = std::wstring(temp) + L"qrxtest-" + purpose + L"-" + std::to_wstring(GetCurrentProcessId());
    removeTree(path_);
    if (!CreateDirectoryW(path_.c_str(), nullptr)) throw std::runtime_error("CreateDirectoryW failed");
}

ScratchFolder::~ScratchFolder() { removeTree(path_); }

}  // namespace qrxtest

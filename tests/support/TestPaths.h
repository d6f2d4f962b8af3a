// Where the test programs find what the build produced.
#pragma once
#include <string>

namespace qrxtest {

// The build tree's deliverables folder, and the full path of a deliverable in it.
std::wstring deliverablesFolder();
std::wstring deliverablePath(const std::wstring& fileName);

// Full path of the marker library (MarkerLibrary.h), built under the name of
// the German language library in a folder of its own.
std::wstring plantedLibraryPath();

// Full path of a file in the system directory.
std::wstring systemFilePath(const std::wstring& fileName);

// A file of the system directory put aside while the object lives, and put
// back afterwards.
class SystemFileAside {
public:
    explicit SystemFileAside(const std::wstring& fileName);
    ~SystemFileAside();
    SystemFileAside(const SystemFileAside&) = delete;
    SystemFileAside& operator=(const SystemFileAside&) = delete;

private:
    std::wstring path_;
    std::wstring aside_;
};

// A fresh empty folder for one test's scratch files; removed with its content
// when the object goes.
class ScratchFolder {
public:
    explicit ScratchFolder(const std::wstring& purpose);
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    const std::wstring& path() const { return path_; }
    std::wstring file(const std::wstring& name) const { return path_ + L"\\" + name; }

private:
    std::wstring path_;
};

}  // namespace qrxtest

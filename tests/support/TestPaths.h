// Where the test programs find what the build produced.
#pragma once
#include <string>

namespace qrxtest {

// Full path of a deliverable in the build tree's deliverables folder.
std::wstring deliverablePath(const std::wstring& fileName);

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

// The spool folder: one subfolder per job, job-0001, job-0002, ..., holding
// the control file and the data file under the names the client sent. Job
// names repeat (the job number in them is always the same), so the folder
// keeps jobs apart.
#pragma once

#include "WinHandle.h"

#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace refserver {

// Why a file name received from a client cannot be used as a file name in
// the spool, or empty when it can: empty, longer than 200 bytes, control
// characters, blanks, path or wildcard characters, a trailing dot, names that
// Windows reserves for devices.
std::string unsafeFileNameReason(const std::string& name);

// One file of a job, written as the bytes arrive.
class SpoolFile {
public:
    explicit SpoolFile(const std::wstring& path);  // throws SpoolError
    void write(const void* bytes, size_t count);    // throws SpoolError

private:
    FileHandle file_;
};

// The folder of one job. Unless kept, it goes with everything in it when the
// object goes, so that a job that did not end well leaves nothing behind.
class JobFolder {
public:
    JobFolder(std::wstring path, unsigned number) : path_(std::move(path)), number_(number) {}
    ~JobFolder();
    JobFolder(const JobFolder&) = delete;
    JobFolder& operator=(const JobFolder&) = delete;

    unsigned number() const { return number_; }
    // Empty when the server keeps no spool.
    const std::wstring& path() const { return path_; }
    // Creates the named file in the folder (nothing without a spool).
    std::unique_ptr<SpoolFile> create(const std::string& name);
    void keep() { kept_ = true; }

private:
    std::wstring path_;
    unsigned number_;
    std::vector<std::wstring> files_;
    bool kept_ = false;
};

class JobSpool {
public:
    // An empty folder keeps no files: jobs are numbered, checked and counted only.
    // Creates the folder (and its parents) when missing; throws SetupError.
    explicit JobSpool(std::wstring folder);
    // The next job's folder, numbered after any folder that exists already.
    std::unique_ptr<JobFolder> newJob();  // throws SpoolError

private:
    std::wstring folder_;
    std::mutex mutex_;
    unsigned next_ = 1;
};

}  // namespace refserver

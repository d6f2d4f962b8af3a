// The images mapped into this process, read from its address space. A library
// mapped as a resource-only image is in no module list, so this is how tests
// see which language library a module took, and that it let it go again.
#pragma once
#include <string>
#include <vector>

namespace qrxtest {

// The name of the file mapped at an address, as the system gives it (a device
// or NT path, not a drive path); empty when nothing is mapped there.
std::wstring mappedFileName(const void* address);

// The mapped names of the files called fileName (compared without regard to
// case) that are mapped into this process, one per mapping.
std::vector<std::wstring> mappedImages(const std::wstring& fileName);

// Whether a mapped name is that of the file at a drive path.
bool isMappingOf(const std::wstring& mappedName, const std::wstring& drivePath);

}  // namespace qrxtest

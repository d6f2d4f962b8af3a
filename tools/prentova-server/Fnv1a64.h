// FNV-1a, 64-bit: the checksum that the server records for each job's data.
// Cheap, streamable and easy to recompute anywhere (offset basis
// 0xcbf29ce484222325, prime 0x100000001b3).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace refserver {

class Fnv1a64 {
public:
    void add(const void* bytes, size_t count) {
        auto* p = static_cast<const unsigned char*>(bytes);
        for (size_t i = 0; i < count; ++i) {
            hash_ ^= p[i];
            hash_ *= 0x100000001b3ULL;
        }
    }
    void add(const std::string& bytes) { add(bytes.data(), bytes.size()); }
    uint64_t value() const { return hash_; }

    // Sixteen lower-case hex digits.
    static std::string hex(uint64_t value);

private:
    uint64_t hash_ = 0xcbf29ce484222325ULL;
};

}  // namespace refserver

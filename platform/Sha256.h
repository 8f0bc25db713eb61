// SHA-256 (FIPS 180-4), for the audit trail's hash chain: digests of byte strings, given as 64
// lower-case hexadecimal digits or as 32 bytes. Fed in pieces or all at once, the digest is the
// same; a finished hasher starts afresh on the next Add.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace QuanPlatform {

class Sha256 {
public:
    Sha256() { Reset(); }
    void Reset();
    void Add(std::string_view bytes);
    void Add(const void* bytes, size_t size);
    // The digest of everything added since the last Reset (or Finish); the hasher is reset.
    std::array<uint8_t, 32> Finish();
    std::string FinishHex();

private:
    void Compress(const uint8_t* block);
    std::array<uint32_t, 8> m_state{};
    uint8_t m_block[64] = {};
    size_t m_blockUsed = 0;
    uint64_t m_totalBytes = 0;
};

// The digest of `bytes` as 64 lower-case hexadecimal digits.
std::string Sha256Hex(std::string_view bytes);

}  // namespace QuanPlatform

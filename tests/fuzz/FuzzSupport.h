// Shared by the fuzz targets: a reader that turns the fuzzer's bytes into the values a target
// needs (never past the end: an exhausted input reads as zeros and empty texts), the check that
// stops the run when an invariant fails, and the pieces several targets use (stored records
// loaded from the input, byte comparisons, buffers with a guard behind them). A failed invariant
// aborts, so libFuzzer and the corpus replay both report it as a fault with the input that caused it.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

inline void FuzzCheck(bool holds, const char* file, int line, const char* condition) {
    if (holds) return;
    std::fprintf(stderr, "%s:%d: invariant failed: %s\n", file, line, condition);
    std::abort();
}
#define FUZZ_CHECK(condition) FuzzCheck(static_cast<bool>(condition), __FILE__, __LINE__, #condition)

class FuzzInput {
public:
    FuzzInput(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}

    size_t Remaining() const { return m_size - m_at; }

    uint8_t Byte() { return m_at < m_size ? m_data[m_at++] : 0; }

    bool Bool() { return (Byte() & 1) != 0; }

    // A value in [low, high], from as many bytes as the span needs.
    int Int(int low, int high) {
        const uint64_t span = static_cast<uint64_t>(static_cast<int64_t>(high) - low) + 1;
        uint64_t raw = 0;
        for (uint64_t reach = 1; reach < span && reach != 0; reach <<= 8) raw = (raw << 8) | Byte();
        return static_cast<int>(low + static_cast<int64_t>(raw % span));
    }

    // Mostly values an analyst would type, sometimes the raw bits (NaN, infinities, denormals).
    double Double() {
        static const double kUsual[] = {0.0, 1.0, -1.0, 0.5, 2.0, 10.0, 100.0, 1000.0, 1e-6, 1e6,
                                        0.1, 0.2, 5.0, 12.5, -0.5, 1e300, -1e300, 3.4e38};
        const uint8_t selector = Byte();
        if (selector < 0x80) return kUsual[selector % (sizeof kUsual / sizeof kUsual[0])];
        if (selector < 0xE0) return Int(0, 1 << 20) / 1024.0 - (selector & 1 ? 0.0 : 256.0);
        return Raw<uint64_t, double>();
    }

    float Float() {
        const uint8_t selector = Byte();
        if (selector >= 0xF0) return Raw<uint32_t, float>();
        const double value = selector < 0x80 ? Int(0, 4000) / 100.0 : Double();
        return std::fabs(value) <= 3.4e38 || std::isnan(value) ? static_cast<float>(value) : 3.4e38f;
    }

    // A text of at most maxLength bytes: a length byte, then the bytes.
    std::string Text(size_t maxLength) {
        size_t length = Byte();
        if (length > maxLength) length = maxLength;
        if (length > Remaining()) length = Remaining();
        std::string text(reinterpret_cast<const char*>(m_data + m_at), length);
        m_at += length;
        return text;
    }

    // One of the given texts, or now and then a text of the input.
    template <size_t N>
    std::string Choice(const char* const (&choices)[N], size_t maxLength = 16) {
        const int pick = Int(0, static_cast<int>(N));
        return pick < static_cast<int>(N) ? std::string(choices[pick]) : Text(maxLength);
    }

private:
    // A value of the bytes taken most significant first.
    template <class Bits, class T>
    T Raw() {
        Bits bits = 0;
        for (size_t i = 0; i < sizeof bits; ++i) bits = static_cast<Bits>(bits << 8) | Byte();
        T value;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }

    const uint8_t* m_data;
    size_t m_size;
    size_t m_at = 0;
};

// A reader's report: success exactly when it reported no problem, and every problem says what
// is wrong and names the file it is about (`file`, or some file when none is given).
template <class Problems>
void CheckReport(bool ok, const Problems& problems, const std::string& file = "") {
    FUZZ_CHECK(ok == problems.empty());
    for (const auto& p : problems) FUZZ_CHECK(!p.message.empty() && (file.empty() ? !p.file.empty() : p.file == file));
}

template <class T>
bool SameBytes(const T& a, const T& b) {
    return std::memcmp(&a, &b, sizeof(T)) == 0;
}

// The first bytes of the input as a stored record (zero filled when the input is shorter); the
// rest, returned, drives what the target does with it.
template <class Record>
FuzzInput LoadRecord(const uint8_t* data, size_t size, Record& record) {
    std::memset(&record, 0, sizeof record);
    const size_t recordBytes = std::min(size, sizeof record);
    std::memcpy(&record, data, recordBytes);
    return FuzzInput(data + recordBytes, size - recordBytes);
}

// Hands `write` a buffer of `capacity` bytes holding the text `initial` (or, for nullptr, only
// guard bytes, so that a missing terminator shows), with a guard zone behind it that must stay
// untouched; returns the text left in the buffer.
template <class Write>
std::string GuardedWrite(size_t capacity, const char* initial, Write write) {
    constexpr char kGuard = '\x5A';
    std::vector<char> buffer(capacity + 16, kGuard);
    if (initial != nullptr) std::memcpy(buffer.data(), initial, std::min(std::strlen(initial) + 1, capacity));
    write(buffer.data(), capacity);
    FUZZ_CHECK(std::all_of(buffer.begin() + capacity, buffer.end(), [](char c) { return c == kGuard; }));
    return std::string(buffer.data(), strnlen(buffer.data(), capacity));
}

#include "platform/FlatDatabase.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <vector>

namespace {
constexpr char kMagic[4] = {'Q', 'F', 'D', 'B'};
constexpr uint32_t kFormatVersion = 1;
constexpr size_t kHeaderSize = 16;
constexpr size_t kMaxRecordSize = 1u << 20;

struct TableState {
    std::FILE* file = nullptr;
    bool writable = false;
    uint32_t recordSize = 0;
    uint32_t recordCount = 0;
};

std::mutex g_lock;
std::map<int, TableState> g_tables;

void PutU32(unsigned char* at, uint32_t value) {
    for (int i = 0; i < 4; ++i) at[i] = static_cast<unsigned char>(value >> (8 * i));
}
uint32_t GetU32(const unsigned char* at) {
    return uint32_t(at[0]) | uint32_t(at[1]) << 8 | uint32_t(at[2]) << 16 | uint32_t(at[3]) << 24;
}

bool WriteHeader(std::FILE* file, uint32_t recordSize, uint32_t recordCount) {
    unsigned char header[kHeaderSize] = {};
    std::memcpy(header, kMagic, 4);
    PutU32(header + 4, kFormatVersion);
    PutU32(header + 8, recordSize);
    PutU32(header + 12, recordCount);
    return std::fseek(file, 0, SEEK_SET) == 0 && std::fwrite(header, 1, kHeaderSize, file) == kHeaderSize &&
           std::fflush(file) == 0;
}

void CloseLocked(int table) {
    auto found = g_tables.find(table);
    if (found == g_tables.end()) return;
    std::fclose(found->second.file);
    g_tables.erase(found);
}
}  // namespace

namespace FlatDatabase {

int CreateTable(const std::string& fileName, size_t recordSize) {
    if (recordSize == 0 || recordSize > kMaxRecordSize) return kBadArgument;
    std::FILE* file = std::fopen(fileName.c_str(), "wb");
    if (file == nullptr) return kNoFile;
    const bool ok = WriteHeader(file, static_cast<uint32_t>(recordSize), 0);
    return std::fclose(file) == 0 && ok ? kOk : kIoError;
}

int OpenTable(int table, const char* fileName, int mode, size_t requiredRecordSize) {
    if (fileName == nullptr || *fileName == '\0') return kBadArgument;
    const bool writable = (mode & kReadWrite) != 0;
    if (!writable && (mode & kRead) == 0) return kBadArgument;
    std::FILE* file = std::fopen(fileName, writable ? "r+b" : "rb");
    if (file == nullptr) return kNoFile;
    unsigned char header[kHeaderSize];
    TableState opened;
    opened.file = file;
    opened.writable = writable;
    if (std::fread(header, 1, kHeaderSize, file) != kHeaderSize || std::memcmp(header, kMagic, 4) != 0 ||
        GetU32(header + 4) != kFormatVersion) {
        std::fclose(file);
        return kBadFile;
    }
    opened.recordSize = GetU32(header + 8);
    opened.recordCount = GetU32(header + 12);
    if (opened.recordSize == 0 || opened.recordSize > kMaxRecordSize ||
        (requiredRecordSize != 0 && opened.recordSize != requiredRecordSize)) {
        std::fclose(file);
        return kBadFile;
    }
    // A header that promises more records than the file holds is a damaged file.
    if (std::fseek(file, 0, SEEK_END) != 0 ||
        static_cast<unsigned long long>(std::ftell(file)) <
            kHeaderSize + static_cast<unsigned long long>(opened.recordSize) * opened.recordCount) {
        std::fclose(file);
        return kBadFile;
    }
    std::lock_guard<std::mutex> guard(g_lock);
    CloseLocked(table);
    g_tables[table] = opened;
    return kOk;
}

int CloseTable(int table) {
    std::lock_guard<std::mutex> guard(g_lock);
    if (g_tables.count(table) == 0) return kNotOpen;
    CloseLocked(table);
    return kOk;
}

bool IsOpen(int table) {
    std::lock_guard<std::mutex> guard(g_lock);
    return g_tables.count(table) > 0;
}

int RecordCount(int table) {
    std::lock_guard<std::mutex> guard(g_lock);
    auto found = g_tables.find(table);
    return found == g_tables.end() ? kNotOpen : static_cast<int>(found->second.recordCount);
}

int RecordOperation(int table, int recordNumber, void* buffer, size_t bufferSize, int operation, int flags) {
    if (buffer == nullptr || flags != 0 || recordNumber < 1) return kBadArgument;
    std::lock_guard<std::mutex> guard(g_lock);
    auto found = g_tables.find(table);
    if (found == g_tables.end()) return kNotOpen;
    TableState& opened = found->second;
    if (bufferSize < opened.recordSize) return kBadArgument;
    const long long offset = static_cast<long long>(kHeaderSize) +
                             static_cast<long long>(recordNumber - 1) * opened.recordSize;
    if (operation == kReadRecord) {
        if (static_cast<uint32_t>(recordNumber) > opened.recordCount) return kNoRecord;
        if (std::fseek(opened.file, static_cast<long>(offset), SEEK_SET) != 0 ||
            std::fread(buffer, 1, opened.recordSize, opened.file) != opened.recordSize)
            return kIoError;
        return kOk;
    }
    if (operation != kWriteRecord) return kBadArgument;
    if (!opened.writable) return kReadOnly;
    if (static_cast<uint32_t>(recordNumber) > opened.recordCount + 1) {
        // Fill the gap with zeroed records so every number below stays readable.
        std::vector<unsigned char> zeros(opened.recordSize, 0);
        if (std::fseek(opened.file, 0, SEEK_END) != 0) return kIoError;
        for (uint32_t n = opened.recordCount + 1; n < static_cast<uint32_t>(recordNumber); ++n)
            if (std::fwrite(zeros.data(), 1, zeros.size(), opened.file) != zeros.size()) return kIoError;
    }
    if (std::fseek(opened.file, static_cast<long>(offset), SEEK_SET) != 0 ||
        std::fwrite(buffer, 1, opened.recordSize, opened.file) != opened.recordSize)
        return kIoError;
    if (static_cast<uint32_t>(recordNumber) > opened.recordCount) {
        opened.recordCount = static_cast<uint32_t>(recordNumber);
        if (!WriteHeader(opened.file, opened.recordSize, opened.recordCount)) return kIoError;
    }
    return std::fflush(opened.file) == 0 ? kOk : kIoError;
}

}  // namespace FlatDatabase

#include "calibrate/PeriodicDatabase.h"

#include <cstring>
#include <mutex>

#include "platform/FlatDatabase.h"
#include "platform/Security.h"

namespace {
// The lock makes "open through the library, then count" and "uncount, then close through the
// library" one step each, so a close on one thread cannot undo an open made on another.
std::mutex g_lock;
int g_openCount = 0;
}  // namespace

bool OpenFlatDatabase(int kind, const char* fileName, bool readWrite) {
    if (kind != kPeriodicDatabaseKind || fileName == nullptr) return false;
    // The library takes the name as a 260-character buffer; a longer name cannot be passed whole.
    char name[kPeriodicDatabaseNameSize] = {};
    const size_t length = strnlen(fileName, kPeriodicDatabaseNameSize);
    if (length == 0 || length >= kPeriodicDatabaseNameSize) return false;
    std::memcpy(name, fileName, length);
    int mode = readWrite ? FlatDatabase::kReadWrite : FlatDatabase::kRead;
    if (Security::IsPermissionGranted(kPeriodicDatabasePermission, false)) mode += FlatDatabase::kPrivileged;
    std::lock_guard<std::mutex> guard(g_lock);
    // Only whole element records: a table of shorter records would fill part of each element
    // and leave the rest (scale and response factors among it) as whatever was there before.
    if (FlatDatabase::OpenTable(kPeriodicTable, name, mode, sizeof(tagELEMENTstruct)) != FlatDatabase::kOk) return false;
    ++g_openCount;
    return true;
}

bool CloseFlatDatabase(int kind) {
    if (kind != kPeriodicDatabaseKind) return false;
    std::lock_guard<std::mutex> guard(g_lock);
    if (g_openCount == 0) return false;  // a stray close never drives the count below zero
    if (--g_openCount != 0) return false;
    FlatDatabase::CloseTable(kPeriodicTable);
    return true;
}

int ReadElementRecord(int atomicNumber, tagELEMENTstruct& element) {
    element = tagELEMENTstruct{};  // a failed or short read leaves zeros, never stale values
    return FlatDatabase::RecordOperation(kPeriodicTable, atomicNumber, &element, sizeof element,
                                         FlatDatabase::kReadRecord, 0);
}

int WriteElementRecord(int atomicNumber, const tagELEMENTstruct& element) {
    tagELEMENTstruct copy = element;
    return FlatDatabase::RecordOperation(kPeriodicTable, atomicNumber, &copy, sizeof copy,
                                         FlatDatabase::kWriteRecord, 0);
}

int PeriodicDatabaseOpenCount() {
    std::lock_guard<std::mutex> guard(g_lock);
    return g_openCount;
}

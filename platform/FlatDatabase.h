// The flat-database library: numbered tables of fixed-size records kept in files, records
// numbered from 1. A table file starts with a 16-byte header ("QFDB", format version, record
// size, record count; little-endian uint32 each) followed by the records in number order.
// Every operation returns 0 on success and a negative code on failure. Safe to call from
// several threads; one table number refers to one open file at a time.
#pragma once

#include <cstddef>
#include <string>

namespace FlatDatabase {
enum OpenMode { kRead = 1, kReadWrite = 2, kPrivileged = 32 };
enum Operation { kReadRecord = 1, kWriteRecord = 2 };
enum Result {
    kOk = 0,
    kNoFile = -1,
    kBadFile = -2,
    kNotOpen = -3,
    kNoRecord = -4,
    kReadOnly = -5,
    kBadArgument = -6,
    kIoError = -7,
};

// Creates (or replaces) a table file holding no records yet.
int CreateTable(const std::string& fileName, size_t recordSize);
// Opens table `table` from the file with a mode of OpenMode bits. Opening a table that is
// already open replaces the earlier open. With a `requiredRecordSize`, a file of records of any
// other size is refused as kBadFile before anything is replaced.
int OpenTable(int table, const char* fileName, int mode, size_t requiredRecordSize = 0);
int CloseTable(int table);
bool IsOpen(int table);
// Reads or writes record `recordNumber` (from 1) of an open table through `buffer`, which holds
// one record of the table's size. Writing past the end extends the table with zeroed records.
// `flags` is reserved and must be 0.
int RecordOperation(int table, int recordNumber, void* buffer, size_t bufferSize, int operation, int flags);
// Number of records of an open table (negative when it is not open).
int RecordCount(int table);
}  // namespace FlatDatabase

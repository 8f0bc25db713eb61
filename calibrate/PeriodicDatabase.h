// Shared access to the periodic-table database (the flat-database library's table 19) by the
// location and quantification engines. One process-wide open count: the table is opened
// through the library on every open and closed through it only by the last close. The count is
// kept under a lock, so samples processed on several threads share it safely.
#pragma once

#include "calibrate/ElementRecord.h"

constexpr int kPeriodicDatabaseKind = 3;     // the only database kind the engines open
constexpr int kPeriodicTable = 19;           // its table number in the flat-database library
constexpr int kPeriodicDatabasePermission = 1002;
constexpr int kPeriodicDatabaseNameSize = 260;

// Opens the database of `kind` (3) from `fileName`; true when open. A table whose records are
// not 1024-byte element records is refused as unreadable. A failed open leaves the open count
// as it was.
bool OpenFlatDatabase(int kind, const char* fileName, bool readWrite);
// Releases one open; true when this was the last one and the database was closed.
bool CloseFlatDatabase(int kind);
// Reads the element with this atomic number into a zeroed record; 0 when read, else the
// library's failure code.
int ReadElementRecord(int atomicNumber, tagELEMENTstruct& element);
// Writes an element record (the database must be open for writing); 0 when written.
int WriteElementRecord(int atomicNumber, const tagELEMENTstruct& element);
int PeriodicDatabaseOpenCount();

// The last-file record: the name of the last document opened, followed by a
// line end, in a file beside the executable named after it.
#pragma once

#include <string>

// The running executable's full path as the system reports it.
std::string ExecutablePath();

// Where this copy of the program keeps its record: its own full path with
// ".cfg" appended, so each copy under each file name has a record of its own.
std::string LastFileRecordPath();

// The name held in the record at `path`: its bytes up to the first carriage
// return or Ctrl+Z, or to the end of the file; line feeds belong to the name.
// Throws when the file cannot be read.
std::string ReadLastFileName(const std::string& path);

// Replaces the record at `path` with `name` followed by CR LF. The new record
// is written completely under a temporary name first, so a failure leaves the
// old record as it was and no temporary file behind. Throws on failure.
void WriteLastFileName(const std::string& path, const std::string& name);

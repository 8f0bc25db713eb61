// Writing an output so that a reader never sees half of it: the content goes to a temporary
// name beside the target and is renamed over it only when complete and flushed to disk. A run
// that fails or is interrupted before the rename leaves the earlier file as it was.
#pragma once

#include <string>

namespace Batch {

// The temporary name a file is written under before it replaces `path`.
std::string TemporaryNameFor(const std::string& path);

// Flushes a written file to disk; false with `error` set.
bool FlushToDisk(const std::string& path, std::string& error);

// Writes `content` to TemporaryNameFor(path), flushes it and renames it onto `path`. False with
// `error` set (and the temporary removed, `path` untouched) when any step fails.
bool WriteFileSafely(const std::string& path, const std::string& content, std::string& error);

// Flushes and renames an already written temporary onto `path` (for files another library
// writes, such as the SQLite database). False with `error` set; the temporary is removed.
bool CommitTemporary(const std::string& temporary, const std::string& path, std::string& error);

}  // namespace Batch

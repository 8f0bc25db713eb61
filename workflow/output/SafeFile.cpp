#include "workflow/output/SafeFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace Batch {

namespace {
std::string SystemError(const std::string& what, const std::string& path) {
    return what + " " + path + ": " + std::strerror(errno);
}

bool SyncFile(const std::string& path, std::string& error) {
    const int fd = ::open(path.c_str(), O_RDONLY);
    if (fd < 0) {
        error = SystemError("cannot open", path);
        return false;
    }
    const bool synced = ::fsync(fd) == 0;
    if (!synced) error = SystemError("cannot flush", path);
    ::close(fd);
    return synced;
}
}  // namespace

bool FlushToDisk(const std::string& path, std::string& error) { return SyncFile(path, error); }

std::string TemporaryNameFor(const std::string& path) {
    // The process number keeps two runs on one folder from writing the same temporary.
    return path + ".partial-" + std::to_string(::getpid());
}

bool CommitTemporary(const std::string& temporary, const std::string& path, std::string& error) {
    if (!SyncFile(temporary, error)) {
        std::remove(temporary.c_str());
        return false;
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        error = SystemError("cannot replace", path);
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}

bool WriteFileSafely(const std::string& path, const std::string& content, std::string& error) {
    const std::string temporary = TemporaryNameFor(path);
    std::FILE* file = std::fopen(temporary.c_str(), "wb");
    if (file == nullptr) {
        error = SystemError("cannot write", temporary);
        return false;
    }
    const bool written = std::fwrite(content.data(), 1, content.size(), file) == content.size();
    const bool closed = std::fclose(file) == 0;
    if (!written || !closed) {
        error = SystemError("cannot write", temporary);
        std::remove(temporary.c_str());
        return false;
    }
    return CommitTemporary(temporary, path, error);
}

}  // namespace Batch

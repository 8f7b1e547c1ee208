#pragma once

// Opening a file the program reads. A path may name anything: a FIFO would block the opener, a
// device never ends, a directory reads nothing. So a file is opened without blocking, looked at
// before a byte is read, and kept only when it is a regular file; its size is known from then
// on, so that what a header claims can be checked against it before anything is allocated.

#include "base/Result.h"

#include <cstddef>
#include <cstdint>
#include <fcntl.h>
#include <optional>
#include <string>
#include <vector>

namespace kavelin {

// A failure that concerns a file: the reason reads "<path>: <why>".
Error fileError(const std::string& path, const std::string& why);

// Where a path is looked up: as given (relative paths from the current directory), or beneath
// a directory, which no path may leave (absolute paths, "..", symbolic links that point out of
// it are refused).
struct FilePlace {
    int directory = AT_FDCWD;
    bool beneath = false;
};

class ReadableFile {
public:
    // The regular file at path; a failure names the path and the reason ("is a FIFO", "is a
    // directory", "leads outside the media folder", the system's words for a file that cannot
    // be opened).
    static Result<ReadableFile> open(const std::string& path, FilePlace place = {});
    // As open, but none when nothing exists at the path: for files that may be left out.
    static Result<std::optional<ReadableFile>> openIfPresent(const std::string& path,
                                                             FilePlace place = {});

    ReadableFile(ReadableFile&& other) noexcept;
    ReadableFile& operator=(ReadableFile&& other) noexcept;
    ReadableFile(const ReadableFile&) = delete;
    ReadableFile& operator=(const ReadableFile&) = delete;
    ~ReadableFile();

    int fd() const { return fd_; }
    // The length when the file was opened.
    int64_t size() const { return size_; }
    const std::string& path() const { return path_; }

    // Exactly count bytes at offset; fails when the file ends before or a read fails.
    Status readAt(void* buffer, size_t count, int64_t offset) const;
    // The whole file, refused unread when it is longer than maxBytes.
    Result<std::vector<char>> readAll(int64_t maxBytes) const;

private:
    ReadableFile(int fd, int64_t size, std::string path)
        : fd_(fd), size_(size), path_(std::move(path)) {}

    int fd_ = -1;
    int64_t size_ = 0;
    std::string path_;
};

} // namespace kavelin

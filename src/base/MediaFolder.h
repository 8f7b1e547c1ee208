#pragma once

#include "base/ReadableFile.h"

#include <string>

namespace kavelin {

// Where the files that clients name are looked up. Without a folder, paths are taken as given
// (relative ones from the current directory). With one, every path is taken relative to the
// folder and may not lead out of it: absolute paths, ".." above the folder and symbolic links
// that point out (absolute ones included) are refused, so that a client can read nothing else.
class MediaFolder {
public:
    // Paths as given.
    MediaFolder() = default;
    // The folder at path; fails when it cannot be opened as a directory, or when the system
    // cannot confine lookups to it.
    static Result<MediaFolder> open(const std::string& path);
    // Paths as given, for callers without a media folder.
    static const MediaFolder& none();

    MediaFolder(MediaFolder&& other) noexcept;
    MediaFolder& operator=(MediaFolder&& other) noexcept;
    MediaFolder(const MediaFolder&) = delete;
    MediaFolder& operator=(const MediaFolder&) = delete;
    ~MediaFolder();

    bool confined() const { return fd_ >= 0; }

    Result<ReadableFile> openFile(const std::string& path) const {
        return ReadableFile::open(path, place());
    }
    Result<std::optional<ReadableFile>> openFileIfPresent(const std::string& path) const {
        return ReadableFile::openIfPresent(path, place());
    }

private:
    explicit MediaFolder(int fd) : fd_(fd) {}
    FilePlace place() const { return fd_ >= 0 ? FilePlace{fd_, true} : FilePlace{}; }

    int fd_ = -1;
};

} // namespace kavelin

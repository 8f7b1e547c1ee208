#include "base/ReadableFile.h"

#include <cerrno>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <system_error>
#include <unistd.h>

namespace kavelin {

namespace {

// O_NOCTTY: a terminal named as a file must not become the program's controlling terminal.
constexpr int kOpenFlags = O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY;

std::string systemWords(int error) {
    return std::error_code(error, std::generic_category()).message();
}

const char* kindWords(mode_t mode) {
    if (S_ISDIR(mode))
        return "is a directory";
    if (S_ISFIFO(mode))
        return "is a FIFO";
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return "is a device";
    if (S_ISSOCK(mode))
        return "is a socket";
    return "is not a regular file";
}

// A descriptor for path with the given flags, or -errno. Beneath a directory, the kernel
// resolves the whole path and refuses every way out of it (EXDEV).
int openAt(const std::string& path, FilePlace place, int flags) {
    for (int attempt = 0;; ++attempt) {
        int fd = -1;
        if (place.beneath) {
            open_how how{};
            how.flags = static_cast<uint64_t>(flags);
            how.resolve = RESOLVE_BENEATH;
            fd = static_cast<int>(
                ::syscall(SYS_openat2, place.directory, path.c_str(), &how, sizeof how));
        } else {
            fd = ::openat(place.directory, path.c_str(), flags);
        }
        if (fd >= 0)
            return fd;
        // EAGAIN: a rename raced with the check for "..", worth another try.
        if (errno == EINTR || (errno == EAGAIN && place.beneath && attempt < 8))
            continue;
        return -errno;
    }
}

// What is at a path that could not be opened for reading (a socket cannot be opened at all).
std::string whyNotOpened(const std::string& path, FilePlace place, int error) {
    if (error == EXDEV && place.beneath)
        return "leads outside the media folder";
    if (error == ENXIO) {
        const int fd = openAt(path, place, O_PATH | O_CLOEXEC);
        struct stat st {};
        const bool known = fd >= 0 && ::fstat(fd, &st) == 0 && !S_ISREG(st.st_mode);
        if (fd >= 0)
            ::close(fd);
        if (known)
            return kindWords(st.st_mode);
    }
    return systemWords(error);
}

} // namespace

Error fileError(const std::string& path, const std::string& why) {
    return failure(path + ": " + why);
}

Result<std::optional<ReadableFile>> ReadableFile::openIfPresent(const std::string& path,
                                                                FilePlace place) {
    const int fd = openAt(path, place, kOpenFlags);
    if (fd == -ENOENT || fd == -ENOTDIR)
        return std::optional<ReadableFile>();
    if (fd < 0)
        return fileError(path, whyNotOpened(path, place, -fd));
    ReadableFile file(fd, 0, path);
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return fileError(path, systemWords(errno));
    if (!S_ISREG(st.st_mode))
        return fileError(path, kindWords(st.st_mode));
    // Reads of a regular file wait for the disk, never for a writer.
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0)
        return fileError(path, systemWords(errno));
    file.size_ = st.st_size;
    return std::optional<ReadableFile>(std::move(file));
}

Result<ReadableFile> ReadableFile::open(const std::string& path, FilePlace place) {
    Result<std::optional<ReadableFile>> found = openIfPresent(path, place);
    if (!found)
        return found.error();
    if (!*found)
        return fileError(path, systemWords(ENOENT));
    return std::move(**found);
}

ReadableFile::ReadableFile(ReadableFile&& other) noexcept
    : fd_(other.fd_), size_(other.size_), path_(std::move(other.path_)) {
    other.fd_ = -1;
}

ReadableFile& ReadableFile::operator=(ReadableFile&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = other.fd_;
        size_ = other.size_;
        path_ = std::move(other.path_);
        other.fd_ = -1;
    }
    return *this;
}

ReadableFile::~ReadableFile() {
    if (fd_ >= 0)
        ::close(fd_);
}

Status ReadableFile::readAt(void* buffer, size_t count, int64_t offset) const {
    size_t got = 0;
    while (got < count) {
        const ssize_t n = ::pread(fd_, static_cast<char*>(buffer) + got, count - got,
                                  offset + static_cast<int64_t>(got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return fileError(path_, systemWords(errno));
        if (n == 0)
            return fileError(path_, "is shorter than expected");
        got += static_cast<size_t>(n);
    }
    return done();
}

Result<std::vector<char>> ReadableFile::readAll(int64_t maxBytes) const {
    if (size_ > maxBytes)
        return fileError(path_, "is longer than " + std::to_string(maxBytes) + " bytes");
    std::vector<char> bytes(static_cast<size_t>(size_));
    if (Status read = readAt(bytes.data(), bytes.size(), 0); !read)
        return read.error();
    return bytes;
}

} // namespace kavelin

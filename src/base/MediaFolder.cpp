#include "base/MediaFolder.h"

#include <cerrno>
#include <linux/openat2.h>
#include <sys/syscall.h>
#include <system_error>
#include <unistd.h>

namespace kavelin {

Result<MediaFolder> MediaFolder::open(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return fileError(path, std::error_code(errno, std::generic_category()).message());
    MediaFolder folder(fd);
    // Lookups beneath the folder need openat2 (Linux 5.6 and later).
    open_how how{};
    how.flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
    how.resolve = RESOLVE_BENEATH;
    const int probe = static_cast<int>(::syscall(SYS_openat2, fd, ".", &how, sizeof how));
    if (probe < 0)
        return fileError(path, "files cannot be confined to it on this system (" +
                                   std::error_code(errno, std::generic_category()).message() + ")");
    ::close(probe);
    return folder;
}

const MediaFolder& MediaFolder::none() {
    static const MediaFolder asGiven;
    return asGiven;
}

MediaFolder::MediaFolder(MediaFolder&& other) noexcept : fd_(other.fd_) {
    other.fd_ = -1;
}

MediaFolder& MediaFolder::operator=(MediaFolder&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = other.fd_;
        other.fd_ = -1;
    }
    return *this;
}

MediaFolder::~MediaFolder() {
    if (fd_ >= 0)
        ::close(fd_);
}

} // namespace kavelin

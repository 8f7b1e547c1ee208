#include "text/FontFile.h"

#include <cerrno>
#include <map>
#include <mutex>
#include <sys/stat.h>
#include <system_error>
#include <tuple>

namespace kavelin {

namespace {

// A file as it is now: the same key means the same bytes.
using FileKey = std::tuple<dev_t, ino_t, int64_t, int64_t, int64_t>;

struct SharedFiles {
    std::mutex mutex;
    std::map<FileKey, std::weak_ptr<const std::vector<char>>> files;
};

SharedFiles& sharedFiles() {
    static SharedFiles shared;
    return shared;
}

} // namespace

Result<FontBytes> readFontFile(const ReadableFile& file) {
    struct stat st {};
    if (::fstat(file.fd(), &st) != 0)
        return fileError(file.path(), std::error_code(errno, std::generic_category()).message());
    const FileKey key{st.st_dev, st.st_ino, st.st_size, st.st_mtim.tv_sec, st.st_mtim.tv_nsec};
    SharedFiles& shared = sharedFiles();
    {
        std::lock_guard lock(shared.mutex);
        std::erase_if(shared.files, [](const auto& entry) { return entry.second.expired(); });
        if (FontBytes known = shared.files[key].lock())
            return known;
    }
    Result<std::vector<char>> read = file.readAll(kMaxFontFileBytes);
    if (!read)
        return read.error();
    FontBytes bytes = std::make_shared<const std::vector<char>>(std::move(*read));
    std::lock_guard lock(shared.mutex);
    // Another thread may have read the same file meanwhile: the first one read is kept.
    if (FontBytes known = shared.files[key].lock())
        return known;
    shared.files[key] = bytes;
    return bytes;
}

} // namespace kavelin

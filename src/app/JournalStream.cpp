#include "app/JournalStream.h"

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace kavelin {

bool isJournalStream(int fd, const char* journalStream) {
    if (journalStream == nullptr)
        return false;
    uintmax_t device = 0, inode = 0;
    int end = 0;
    if (std::sscanf(journalStream, "%ju:%ju%n", &device, &inode, &end) != 2 ||
        journalStream[end] != 0)
        return false;
    struct stat status {};
    return ::fstat(fd, &status) == 0 && static_cast<uintmax_t>(status.st_dev) == device &&
           static_cast<uintmax_t>(status.st_ino) == inode;
}

LogStyle standardOutputLogStyle(bool timestamped) {
    return {timestamped, isJournalStream(STDOUT_FILENO, std::getenv("JOURNAL_STREAM"))};
}

} // namespace kavelin

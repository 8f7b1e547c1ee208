#pragma once

#include "engine/LogStyle.h"

namespace kavelin {

// Whether `journalStream`, the value of JOURNAL_STREAM ("DEVICE:INODE", set by systemd for a
// service whose output goes to the journal), names the file open as `fd`. A program whose
// standard output was redirected elsewhere keeps the variable but not the stream.
bool isJournalStream(int fd, const char* journalStream);

// The style of the log on standard output: timestamped when asked for, and with the level as a
// syslog priority when standard output is the journal.
LogStyle standardOutputLogStyle(bool timestamped);

} // namespace kavelin

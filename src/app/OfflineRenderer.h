#pragma once

#include "engine/Format.h"
#include "image/CleanKey.h"

#include <cstdio>
#include <string>

namespace kavelin {

// `kavelin render`: runs a script of command lines with no network and no clock. Replies go
// to `replies`, log lines to the file descriptor `logFd`; `@wait N` composes N frames and
// writes each to the outputs.
struct OfflineOptions {
    std::string script;  // a file name, or "-" for standard input
    std::string pngDir;  // write DIR/frame00000.png, ... when not empty
    std::string rawFile; // write every frame's bytes when not empty (replacing the file)
    Format format;
    KeyMode key = KeyMode::Composed;
    int threads = 0; // composing threads; 0: one per processor
};

// Exit code: 0 when the script ran, 2 when it could not be read or an output not be written.
int runOffline(const OfflineOptions& options, std::FILE* replies, int logFd);

} // namespace kavelin

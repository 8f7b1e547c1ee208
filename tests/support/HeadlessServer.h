#pragma once

// The real program, headless on a free loopback port, with its output in files.

#include "support/ChildProcess.h"

#include <memory>

namespace kavelin::test {

// `kavelin --headless --port PORT --listen 127.0.0.1 options...`; standard error goes to `out`
// too unless `err` names another file.
inline std::unique_ptr<ChildProcess>
startHeadless(uint16_t port, const std::vector<std::string>& options, const std::string& out,
              const std::string& err = "", const std::map<std::string, std::string>& env = {}) {
    std::vector<std::string> args{KAVELIN_BINARY,       "--headless", "--port",
                                  std::to_string(port), "--listen",   "127.0.0.1"};
    args.insert(args.end(), options.begin(), options.end());
    return std::make_unique<ChildProcess>(args, env, out, err.empty() ? out : err);
}

// True once the log in `file` says the program serves.
inline bool becameReady(const std::string& file) {
    return waitUntil([&] { return readFile(file).find("Ready.\n") != std::string::npos; });
}

} // namespace kavelin::test

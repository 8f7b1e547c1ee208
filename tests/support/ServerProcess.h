#pragma once

#include "support/ChildProcess.h"

#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace kavelin::test {

// The real program, started with its standard output and error in files.
class ServerProcess {
public:
    ServerProcess(const std::vector<std::string>& args, const std::string& outFile,
                  const std::string& errFile)
        : outFile_(outFile), errFile_(errFile),
          process_(withBinary(args), {}, outFile, -1, false, errFile) {}

    // Waits until the standard output holds `text` (true) or the time is up (false).
    bool waitForOutput(const std::string& text, int ms = 5000) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (std::chrono::steady_clock::now() < end) {
            if (output().find(text) != std::string::npos)
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }
    void signal(int sig) { process_.signal(sig); }
    // The exit code, or -1 when the process did not end in time (or died by a signal).
    int waitExit(int ms = 5000) { return process_.wait(ms).value_or(-1); }
    std::string output() const { return readFile(outFile_); }
    std::string errors() const { return readFile(errFile_); }

private:
    static std::vector<std::string> withBinary(const std::vector<std::string>& args) {
        std::vector<std::string> all{KAVELIN_BINARY};
        all.insert(all.end(), args.begin(), args.end());
        return all;
    }

    std::string outFile_, errFile_;
    ChildProcess process_;
};

} // namespace kavelin::test

#pragma once

// Programs run to their end or started in the background with their own environment and their
// output in files, with bounded waits; an Xvfb server on a display number it picks itself.

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace kavelin::test {

inline std::string readFile(const std::string& path) {
    std::ostringstream text;
    text << std::ifstream(path, std::ios::binary).rdbuf();
    return text.str();
}

struct ProgramResult {
    int exitCode = -1;
    std::string out;
};

// Runs a shell command and collects its standard output (standard error stays with the caller
// unless the command redirects it).
inline ProgramResult runProgram(const std::string& command) {
    ProgramResult result;
    if (std::FILE* pipe = ::popen(command.c_str(), "r")) {
        for (int c; (c = std::fgetc(pipe)) != EOF;)
            result.out += char(c);
        const int status = ::pclose(pipe);
        result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    return result;
}

// Polls `done` until it holds (true) or `ms` have passed (false).
inline bool waitUntil(const std::function<bool()>& done, int ms = 10000) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    for (; !done(); std::this_thread::sleep_for(std::chrono::milliseconds(5)))
        if (std::chrono::steady_clock::now() > deadline)
            return false;
    return true;
}

class ChildProcess {
public:
    // `env` entries override the inherited environment; an empty value removes the variable.
    // Standard output and standard error go to the files named (they may be the same one);
    // `keepFd` stays open in the program.
    ChildProcess(const std::vector<std::string>& argv,
                 const std::map<std::string, std::string>& env, const std::string& outFile,
                 const std::string& errFile, int keepFd = -1) {
        std::map<std::string, std::string> merged;
        for (char** e = environ; *e != nullptr; ++e) {
            const std::string entry = *e;
            merged[entry.substr(0, entry.find('='))] = entry.substr(entry.find('=') + 1);
        }
        for (const auto& [key, value] : env)
            value.empty() ? void(merged.erase(key)) : void(merged[key] = value);
        std::vector<std::string> strings = argv;
        for (const auto& [key, value] : merged)
            strings.push_back(key + "=" + value);
        std::vector<char*> args;
        for (std::string& s : strings)
            args.push_back(s.data());
        args.insert(args.begin() + std::ptrdiff_t(argv.size()), nullptr);
        args.push_back(nullptr);
        pid_ = ::fork();
        if (pid_ == 0) {
            const int flags = O_WRONLY | O_CREAT | O_TRUNC;
            ::dup2(::open(outFile.c_str(), flags, 0600), STDOUT_FILENO);
            ::dup2(errFile == outFile ? STDOUT_FILENO : ::open(errFile.c_str(), flags, 0600),
                   STDERR_FILENO);
            if (keepFd >= 0)
                ::fcntl(keepFd, F_SETFD, 0);
            ::execve(args[0], args.data(), args.data() + argv.size() + 1);
            ::_exit(127);
        }
    }
    ~ChildProcess() {
        signal(SIGKILL);
        wait(5000);
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    pid_t pid() const { return pid_; }
    void signal(int sig) {
        if (pid_ > 0 && !exitCode_)
            ::kill(pid_, sig);
    }
    // The exit code (-1 when ended by a signal), or none when it has not ended within `ms`.
    std::optional<int> wait(int ms) {
        waitUntil(
            [&] {
                int status = 0;
                if (!exitCode_ && pid_ > 0 && ::waitpid(pid_, &status, WNOHANG) == pid_)
                    exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
                return exitCode_.has_value() || pid_ <= 0;
            },
            ms);
        return exitCode_;
    }

private:
    pid_t pid_ = -1;
    std::optional<int> exitCode_;
};

// An X server in memory on a free display number, stopped when this object goes. It runs with
// -noreset: otherwise it resets whenever its last client leaves (the readiness check below, a
// probe), and a client that connects meanwhile may be refused or cut off.
class Xvfb {
public:
    explicit Xvfb(const std::string& screen) {
        // A server that goes down while another starts can leave the new one's display number
        // briefly answered by the old one: check that the display is usable, else try again.
        for (int attempt = 0; attempt < 3 && display_.empty(); ++attempt) {
            start(screen);
            const std::string check = "xdpyinfo -display " + display_ + " >/dev/null 2>&1";
            if (!display_.empty() && std::system(check.c_str()) != 0)
                stop();
        }
    }
    ~Xvfb() { stop(); }

    // ":N", or empty when the server did not start.
    const std::string& display() const { return display_; }

private:
    void start(const std::string& screen) {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0)
            return;
        std::vector<std::string> args{"/usr/bin/Xvfb", "-displayfd", std::to_string(fds[1]),
                                      "-screen",       "0",          screen,
                                      "-nolisten",     "tcp",        "-noreset"};
        process_.emplace(args, std::map<std::string, std::string>{}, "/dev/null", "/dev/null",
                         fds[1]);
        ::close(fds[1]);
        // Xvfb writes its display number once it accepts clients.
        std::string number;
        for (char c; ::read(fds[0], &c, 1) == 1 && c != '\n';)
            number += c;
        ::close(fds[0]);
        if (!number.empty())
            display_ = ":" + number;
    }
    void stop() {
        if (process_) {
            process_->signal(SIGTERM);
            process_->wait(5000);
        }
        process_.reset();
        display_.clear();
    }

    std::optional<ChildProcess> process_;
    std::string display_;
};

} // namespace kavelin::test

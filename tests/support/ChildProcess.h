#pragma once

// A program started in the background with its own environment, its standard output in a
// file, and bounded waits for its end; and an Xvfb server on a display number it picks itself.

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
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

class ChildProcess {
public:
    // `env` entries override the inherited environment; an empty value removes the variable.
    // Standard output goes to `outputFile`; standard error stays with the test, or goes to the
    // same file when `quiet`, or to `errorFile` when one is named.
    ChildProcess(const std::vector<std::string>& argv,
                 const std::map<std::string, std::string>& env, const std::string& outputFile,
                 int keepFd = -1, bool quiet = false, const std::string& errorFile = "") {
        std::map<std::string, std::string> merged;
        for (char** e = environ; *e != nullptr; ++e) {
            const std::string entry = *e;
            const size_t eq = entry.find('=');
            if (eq != std::string::npos)
                merged[entry.substr(0, eq)] = entry.substr(eq + 1);
        }
        for (const auto& [key, value] : env) {
            if (value.empty())
                merged.erase(key);
            else
                merged[key] = value;
        }
        std::vector<std::string> envStrings;
        for (const auto& [key, value] : merged)
            envStrings.push_back(key + "=" + value);
        std::vector<char*> envp, args;
        for (auto& s : envStrings)
            envp.push_back(s.data());
        envp.push_back(nullptr);
        std::vector<std::string> argCopy = argv;
        for (auto& s : argCopy)
            args.push_back(s.data());
        args.push_back(nullptr);

        pid_ = ::fork();
        if (pid_ == 0) {
            const int out = ::open(outputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            if (out >= 0)
                ::dup2(out, STDOUT_FILENO);
            if (out >= 0 && quiet)
                ::dup2(out, STDERR_FILENO);
            if (!errorFile.empty()) {
                const int err = ::open(errorFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
                if (err >= 0)
                    ::dup2(err, STDERR_FILENO);
            }
            if (keepFd >= 0)
                ::fcntl(keepFd, F_SETFD, 0);
            ::execve(args[0], args.data(), envp.data());
            ::_exit(127);
        }
    }
    ~ChildProcess() {
        if (running()) {
            ::kill(pid_, SIGKILL);
            wait(5000);
        }
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool started() const { return pid_ > 0; }
    bool running() const { return pid_ > 0 && !exitCode_; }
    void signal(int sig) {
        if (running())
            ::kill(pid_, sig);
    }
    // The exit code (-1 when ended by a signal), or none when it has not ended within `ms`.
    std::optional<int> wait(int ms) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (pid_ > 0 && !exitCode_) {
            int status = 0;
            const pid_t r = ::waitpid(pid_, &status, WNOHANG);
            if (r == pid_)
                exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            else if (r < 0 || std::chrono::steady_clock::now() > deadline)
                break;
            else
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return exitCode_;
    }

private:
    pid_t pid_ = -1;
    std::optional<int> exitCode_;
};

// An X server in memory on a free display number, stopped when this object goes.
class Xvfb {
public:
    explicit Xvfb(const std::string& screen) {
        // A server that goes down while another starts can leave the new one's display number
        // briefly answered by the old one: check that the display is usable, else try again.
        for (int attempt = 0; attempt < 3 && display_.empty(); ++attempt) {
            start(screen);
            if (!display_.empty() &&
                std::system(("xdpyinfo -display " + display_ + " >/dev/null 2>&1").c_str()) != 0)
                stop();
        }
    }
    ~Xvfb() { stop(); }
    Xvfb(const Xvfb&) = delete;
    Xvfb& operator=(const Xvfb&) = delete;

    // ":N", or empty when the server did not start.
    const std::string& display() const { return display_; }

private:
    void start(const std::string& screen) {
        int fds[2];
        if (::pipe(fds) != 0)
            return;
        ::fcntl(fds[0], F_SETFD, FD_CLOEXEC);
        ::fcntl(fds[1], F_SETFD, FD_CLOEXEC);
        process_.emplace(std::vector<std::string>{"/usr/bin/Xvfb", "-displayfd",
                                                  std::to_string(fds[1]), "-screen", "0", screen,
                                                  "-nolisten", "tcp"},
                         std::map<std::string, std::string>{}, "/dev/null", fds[1], true);
        ::close(fds[1]);
        // Xvfb writes its display number once it accepts clients.
        std::string number;
        char c;
        while (::read(fds[0], &c, 1) == 1 && c != '\n')
            number += c;
        ::close(fds[0]);
        if (!number.empty())
            display_ = ":" + number;
    }
    void stop() {
        if (process_) {
            process_->signal(SIGTERM);
            process_->wait(5000);
            process_.reset();
        }
        display_.clear();
    }

    std::optional<ChildProcess> process_;
    std::string display_;
};

inline std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

} // namespace kavelin::test

#pragma once

#include <array>
#include <cstdio>
#include <string>
#include <sys/wait.h>

namespace kavelin::test {

struct ProgramResult {
    int exitCode = -1;
    std::string out;
};

// Runs a shell command and collects its standard output (standard error stays with the caller
// unless the command redirects it).
inline ProgramResult runProgram(const std::string& command) {
    ProgramResult result;
    std::FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr)
        return result;
    std::array<char, 4096> buffer;
    size_t n = 0;
    while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
        result.out.append(buffer.data(), n);
    const int status = ::pclose(pipe);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

} // namespace kavelin::test

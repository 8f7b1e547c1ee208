#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>

namespace kavelin::test {

// A fresh directory of its own under the system's temporary folder, removed on destruction,
// so parallel test runs never share files.
class TempDir {
public:
    explicit TempDir(const std::string& stem = "kavelin") {
        std::string pattern =
            (std::filesystem::temp_directory_path() / (stem + "-XXXXXX")).string();
        if (::mkdtemp(pattern.data()) != nullptr)
            path_ = pattern;
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::string file(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

} // namespace kavelin::test

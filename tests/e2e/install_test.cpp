// make install's rules: what lands where under DESTDIR and PREFIX, the installed program, and the
// units as systemd reads them.
#include "support/ChildProcess.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace kavelin::test;
namespace fs = std::filesystem;

namespace {

const std::string kBuild = fs::path(KAVELIN_BINARY).parent_path().string();

// `cmake --install` of this build; its output in `log`.
int install(const std::string& destdir, const std::string& prefix, const std::string& log) {
    const std::string command = (destdir.empty() ? "" : "DESTDIR='" + destdir + "' ") +
                                "cmake --install '" + kBuild + "' --prefix '" + prefix + "' >'" +
                                log + "' 2>&1";
    return runProgram(command).exitCode;
}

} // namespace

TEST(InstallTest, InstallsUnderDestdirAndTheInstalledProgramRuns) {
    TempDir dest("kavelin-install");
    ASSERT_EQ(install(dest.path().string(), "/usr", dest.file("log")), 0)
        << readFile(dest.file("log"));
    const fs::path usr = dest.path() / "usr";
    for (const char* file : {"bin/kavelin", "lib/systemd/system/kavelin.service",
                             "lib/systemd/system/kavelin@.service",
                             "share/doc/kavelin/kavelin.toml.example", "share/man/man1/kavelin.1"})
        EXPECT_TRUE(fs::is_regular_file(usr / file)) << file;
    // The units name the program where the system will have it, not under DESTDIR.
    EXPECT_NE(readFile((usr / "lib/systemd/system/kavelin.service").string())
                  .find("\nExecStart=/usr/bin/kavelin --headless "),
              std::string::npos);
    EXPECT_NE(readFile((usr / "lib/systemd/system/kavelin@.service").string())
                  .find("\nExecStart=/usr/bin/kavelin --headless --config /etc/kavelin/%i.toml\n"),
              std::string::npos);
    EXPECT_NE(readFile((usr / "share/man/man1/kavelin.1").string()).find("log\\-format"),
              std::string::npos);
    // (The temporary folder's name holds no blanks.)
    const ProgramResult version = runProgram((usr / "bin/kavelin").string() + " --version");
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out, "Kavelin " KAVELIN_VERSION "\n");
}

TEST(InstallTest, ServiceUnitsPassSystemdAnalyzeVerify) {
    if (runProgram("command -v systemd-analyze").exitCode != 0)
        GTEST_SKIP() << "systemd-analyze is not installed";
    // Installed under a prefix of its own, so that ExecStart names a program that is there.
    TempDir prefix("kavelin-units");
    ASSERT_EQ(install("", prefix.path().string(), prefix.file("log")), 0)
        << readFile(prefix.file("log"));
    const std::string units = prefix.file("lib/systemd/system/");
    // The manual page named by Documentation= is looked up where it was installed.
    const ProgramResult verify =
        runProgram("MANPATH='" + prefix.file("share/man") + "' systemd-analyze verify '" + units +
                   "kavelin.service' '" + units + "kavelin@.service' '" + units +
                   "kavelin@studio1.service' 2>&1");
    EXPECT_EQ(verify.exitCode, 0) << verify.out;
    EXPECT_EQ(verify.out, "");
}

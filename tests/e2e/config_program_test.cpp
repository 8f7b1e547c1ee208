// The program started as the service template starts it, with --config FILE.
#include "support/ChildProcess.h"
#include "support/ServerTestSupport.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <fstream>

using namespace kavelin::test;

TEST(ConfigProgramTest, ServesWithTheFilesSettingsAndRefusesAnUnknownKeyWithItsLine) {
    TempDir dir("kavelin-config");
    const uint16_t port = freePort();
    const std::string settings = dir.file("studio1.toml");
    std::ofstream(settings) << "port = " << port << "\nlisten = \"127.0.0.1\"\n"
                            << "log-format = \"timestamped\"\nheadless = false\n";
    ChildProcess program({KAVELIN_BINARY, "--headless", "--config", settings}, {},
                         dir.file("out.txt"), dir.file("err.txt"));
    ASSERT_TRUE(waitUntil([&] {
        return readFile(dir.file("out.txt")).find("Ready.\n") != std::string::npos;
    })) << readFile(dir.file("err.txt"));
    {
        Client client(port);
        ASSERT_TRUE(client.send("116\n"));
        EXPECT_EQ(client.readLine(), "OK 0\n");
    }
    program.signal(SIGTERM);
    EXPECT_EQ(program.wait(5000), 0);
    EXPECT_NE(readFile(dir.file("out.txt")).find("Z INFO Ready.\n"), std::string::npos);

    std::ofstream(settings) << "port = 4000\n\nprot = 4001\n";
    const ProgramResult refused =
        runProgram(std::string(KAVELIN_BINARY) + " --config '" + settings + "' 2>&1");
    EXPECT_EQ(refused.exitCode, 2);
    EXPECT_EQ(refused.out, "kavelin: " + settings + ":3: unknown key 'prot'\n");
}

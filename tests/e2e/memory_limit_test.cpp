// The real program under an address-space limit (prlimit --as), sent the requests that would
// take more memory than it has: every line is answered, the program lives on, and its resident
// memory stays within the budget.
#include "support/HeadlessServer.h"
#include "support/ServerTestSupport.h"
#include "support/TempDir.h"
#include "support/TgaWriter.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <set>

using namespace kavelin::test;

namespace {

constexpr uint64_t kMiB = uint64_t{1} << 20;

// Resident memory of a process in bytes, or 0 when it cannot be read.
uint64_t residentBytes(pid_t pid) {
    const std::string status = readFile("/proc/" + std::to_string(pid) + "/status");
    const size_t at = status.find("VmRSS:");
    return at == std::string::npos ? 0 : std::stoull(status.substr(at + 6)) * 1024;
}

class MemoryLimitTest : public ::testing::Test {
protected:
    void SetUp() override {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
        GTEST_SKIP() << "a sanitizer's shadow memory does not fit an address-space limit";
#endif
        if (std::system("prlimit --version >/dev/null 2>&1") != 0)
            GTEST_SKIP() << "prlimit is not installed";
        // Fontconfig that runs out of memory may rewrite the cache it writes to: a private one,
        // before the system's in the list, so that the system's is only ever read.
        std::filesystem::create_directories(temp.file("fontcache"));
        std::ofstream(temp.file("fonts.conf"))
            << "<?xml version=\"1.0\"?>\n<!DOCTYPE fontconfig SYSTEM "
               "\"urn:fontconfig:fonts.dtd\">\n"
            << "<fontconfig>\n  <cachedir>" << temp.file("fontcache") << "</cachedir>\n"
            << "  <include ignore_missing=\"yes\">/etc/fonts/fonts.conf</include>\n</fontconfig>\n";
        // A sprite-font sheet whose header says 16384 x 16384, and a still of 4096 x 4096,
        // whose files hold all of it (sparse: they take no disk).
        hugeSheet = "58 0 " + sparseTga("huge.tga", 16384) + "\t0 255 255 0 0 0 0 0 0 0 0";
        bigStill = sparseTga("big.tga", 4096);
    }
    std::string sparseTga(const std::string& name, int side) {
        const std::string path = temp.file(name);
        const auto header = kavelin::tgaHeader(uint16_t(side), uint16_t(side), 32, true);
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(header.data()), header.size());
        EXPECT_EQ(::truncate(path.c_str(), int64_t{18} + int64_t{side} * side * 4), 0);
        return path;
    }

    void start(uint64_t addressSpace, const std::string& budget) {
        server = std::make_unique<ChildProcess>(
            std::vector<std::string>{"/usr/bin/prlimit", "--as=" + std::to_string(addressSpace),
                                     KAVELIN_BINARY, "--headless", "--port", std::to_string(port),
                                     "--listen", "127.0.0.1", "--memory-limit", budget},
            std::map<std::string, std::string>{{"FONTCONFIG_FILE", temp.file("fonts.conf")},
                                               {"XDG_CACHE_HOME", temp.file("xdg")},
                                               {"HOME", temp.path().string()}},
            temp.file("out.txt"), temp.file("out.txt"));
        ASSERT_TRUE(becameReady(temp.file("out.txt")));
        client = std::make_unique<Client>(port);
        ASSERT_TRUE(client->connected());
    }
    std::string log() const {
        return readFile(temp.file("out.txt"));
    }
    // The log is written on a thread of its own: a line may come a little after the reply.
    bool logShows(const std::string& text) const {
        return waitUntil([&] { return log().find(text) != std::string::npos; }, 3000);
    }
    // The reply to one line, without its line feed. Loading 64 MiB may take longer than one
    // read waits on a busy machine.
    std::string ask(const std::string& line) {
        EXPECT_TRUE(client->send(line + "\n"));
        std::string reply;
        waitUntil([&] { return !(reply = client->readLine()).empty(); }, 30000);
        if (!reply.empty())
            reply.pop_back();
        return reply;
    }
    // How the replies to the line asked `count` times begin: "OK", "ER", or "" for none.
    std::set<std::string> replyKinds(const std::string& line, int count) {
        std::set<std::string> kinds;
        for (int i = 0; i < count; ++i)
            kinds.insert(ask(line).substr(0, 2));
        return kinds;
    }
    // Ends with the program alive and answering.
    void expectAlive() {
        EXPECT_EQ(ask("0"), "OK");
        EXPECT_FALSE(server->wait(0).has_value());
    }

    TempDir temp{"kavelin-memory"};
    uint16_t port = freePort();
    std::string hugeSheet;
    std::string bigStill;
    std::unique_ptr<ChildProcess> server;
    std::unique_ptr<Client> client;
};

} // namespace

// The budget binds before the address space does: what would pass it is refused (each kind of
// refusal, with its exact log lines, is checked in tests/commands/memory_commands_test.cpp).
TEST_F(MemoryLimitTest, HugeRequestsAreRefusedByTheBudget) {
    start(1536 * kMiB, "512M");
    EXPECT_EQ(ask("116"), "OK 0");
    EXPECT_EQ(ask("121 0"), "OK 0");
    EXPECT_EQ(ask("62 0 16384 16384"), "ERROR");
    // Pictures whose every byte is written, until the budget is used up.
    int loaded = 0;
    for (std::string layer = ask("121 0"); layer.rfind("OK ", 0) == 0; layer = ask("121 0")) {
        if (ask("63 " + layer.substr(3) + " " + bigStill) != "OK")
            break;
        ++loaded;
    }
    EXPECT_EQ(loaded, 7); // 64 MiB each
    EXPECT_EQ(ask(hugeSheet), "ERROR");
    expectAlive();
    const uint64_t resident = residentBytes(server->pid());
    EXPECT_GT(resident, 0u);
    EXPECT_LE(resident, (512 + 256) * kMiB);
    EXPECT_TRUE(logShows("ERROR : Command 58 exceeds the memory budget of 512 MiB.\n"));
}

// The address space binds before the budget does: allocations fail for real, inside the
// program and inside the font libraries, and each failure is an ERROR for its command.
TEST_F(MemoryLimitTest, AllocationFailuresAreErrorsAndTheProgramRecovers) {
    start(1200 * kMiB, "64G");
    EXPECT_EQ(ask("116"), "OK 0");
    EXPECT_EQ(ask("121 0"), "OK 0");
    EXPECT_EQ(ask("62 0 16384 16384"), "ERROR");
    EXPECT_EQ(ask(hugeSheet), "ERROR");
    // Pictures, ever smaller, until nothing more fits.
    int filled = 0;
    for (int size : {2048, 512, 128, 32, 8}) {
        for (;;) {
            const std::string layer = ask("121 0");
            if (layer.rfind("OK ", 0) != 0 ||
                ask("62 " + layer.substr(3) + " " + std::to_string(size) + " " +
                    std::to_string(size)) != "OK")
                break;
            ++filled;
        }
    }
    EXPECT_GT(filled, 0);
    for (const char* line : {"4 0 DejaVu Sans\t-32 1 0 0 1", "4 1 Liberation Serif\t-20 1 0 0 1",
                             "4 2 DejaVu Serif\t-32 1 0 0 1"}) {
        const std::string reply = ask(line);
        EXPECT_TRUE(reply == "OK" || reply == "ERROR") << line << ": " << reply;
    }
    EXPECT_EQ(replyKinds("84 1 0", 10).size(), 1u);
    EXPECT_LE(replyKinds("121 0", 1000).size(), 2u);
    expectAlive();
    EXPECT_TRUE(logShows("ERROR : Out of memory for command 62.\n"));

    // Once the pictures are gone, the same requests work again.
    EXPECT_EQ(ask("120"), "OK");
    EXPECT_EQ(ask("116"), "OK 0");
    EXPECT_EQ(ask("121 0"), "OK 0");
    EXPECT_EQ(ask("62 0 2048 2048"), "OK");
    EXPECT_EQ(ask("4 0 DejaVu Sans\t-32 1 0 0 1"), "OK");
    expectAlive();
}

// The real program, headless, given files that are not what they claim to be, with and without
// a media folder: every such line gets ERROR at once, says why in the log, and leaves the
// pictures and fonts it would have replaced as they were.
#include "support/HeadlessServer.h"
#include "support/ServerTestSupport.h"
#include "support/TempDir.h"
#include "support/TgaWriter.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace kavelin::test;

namespace {

namespace fs = std::filesystem;

// A bad line, the reason line it must log, and a different one beneath a media folder. $P in a
// text stands for where the files are: the media folder's path, or nothing beneath it.
struct BadLine {
    const char* what;
    std::string line, reason;
    std::string mediaReason = {};
    bool mediaOnly = false;
};

std::string expand(std::string text, const std::string& place) {
    for (size_t at; (at = text.find("$P")) != std::string::npos;)
        text.replace(at, 2, place);
    return text;
}

class BadFilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directory(media);
        ASSERT_TRUE(writeTga(file("good.tga"), 40, 30, std::vector<uint32_t>(40 * 30, 0xFF102030)));
        for (const char* name : {"seq_0000.tga", "seq_0001.tga", "broken_0000.tga"})
            ASSERT_TRUE(writeTga(file(name), 8, 8, std::vector<uint32_t>(64, 0xFF405060)));
        for (const char* name : {"fifo.tga", "broken_0001.tga", "piped.txt"})
            ASSERT_EQ(::mkfifo(file(name).c_str(), 0600), 0);
        fs::create_symlink("/dev/zero", file("zero.tga"));
        // Ways that stay inside the media folder: ".." back into it and a relative link.
        fs::create_directory(file("sub"));
        fs::create_symlink("good.tga", file("inside.tga"));
        const std::string sheet =
            std::string(KAVELIN_SOURCE_DIR) + "/examples/fonts/dejavu_sans_24";
        fs::copy_file(sheet + ".tga", file("font.tga"));
        fs::copy_file(sheet + ".txt", file("font.txt"));
        fs::copy_file(sheet + ".tga", file("piped.tga"));
        // Outside the media folder, and a relative link to it from inside.
        ASSERT_TRUE(writeTga(temp.file("secret.tga"), 2, 2, std::vector<uint32_t>(4, 0)));
        fs::create_symlink("../secret.tga", file("link.tga"));
    }
    std::string file(const std::string& name) const { return media + "/" + name; }

    // Runs the table against the program started with `options`, files named with `place`.
    void walk(const std::vector<std::string>& options, const std::string& place, bool inMedia) {
        const uint16_t port = freePort();
        const std::string out = temp.file(inMedia ? "media.txt" : "plain.txt");
        const auto server = startHeadless(port, options, out);
        ASSERT_TRUE(becameReady(out));
        Client client(port);
        ASSERT_TRUE(client.connected());
        const auto ask = [&](const std::string& line) {
            EXPECT_TRUE(client.send(line + "\n"));
            const std::string reply = client.readLine();
            return reply.empty() ? "<no reply>" : reply.substr(0, reply.size() - 1);
        };
        const std::string textLayer = "95 2 400 100 0 Hi\t0 0 0";
        for (const auto& [line, reply] : std::vector<std::pair<std::string, std::string>>{
                 {"116", "OK 0"},
                 {"121 0", "OK 0"},
                 {"121 0", "OK 1"},
                 {"121 0", "OK 2"},
                 {"63 0 " + place + "sub/../inside.tga", "OK"},
                 {"64 1 " + place + "seq_\t0 1", "OK"},
                 {"58 0 " + place + "font.tga\t0 255 255 0 0 0 0 0 0 0 0", "OK"},
                 {textLayer, "OK"}})
            ASSERT_EQ(ask(line), reply) << line;
        const std::string textSize = ask("124 2");

        for (const BadLine& bad : table) {
            if (bad.mediaOnly && !inMedia)
                continue;
            const std::string line = expand(bad.line, place);
            EXPECT_EQ(ask(line), "ERROR") << bad.what;
            // What was loaded before is there as it was, and the program answers at once.
            EXPECT_EQ(ask("124 0"), "OK 40 30") << bad.what;
            EXPECT_EQ(ask("124 1"), "OK 8 8") << bad.what;
            EXPECT_EQ(ask(textLayer), "OK") << bad.what;
            EXPECT_EQ(ask("124 2"), textSize) << bad.what;
            const std::string reason =
                expand(inMedia && !bad.mediaReason.empty() ? bad.mediaReason : bad.reason, place);
            // The log is written by a thread of its own, soon after the reply.
            EXPECT_TRUE(waitUntil([&] {
                return readFile(out).find("\n" + reason + "\n") != std::string::npos;
            })) << bad.what
                << ": " << reason;
        }
    }

    TempDir temp{"kavelin-bad-files"};
    const std::string media = temp.file("media");
    // How each other kind of file is named is pinned by the file checks' own tests; here, the
    // files that would hold up a reader, and the ways out of the media folder.
    const std::vector<BadLine> table = {
        {"a FIFO", "63 0 $Pfifo.tga", "ERROR : $Pfifo.tga: is a FIFO."},
        {"/dev/zero through a symbolic link", "63 0 $Pzero.tga", "ERROR : $Pzero.tga: is a device.",
         "ERROR : zero.tga: leads outside the media folder."},
        {"a sequence frame that is a FIFO", "64 1 $Pbroken_\t0 5",
         "ERROR : $Pbroken_0001.tga: is a FIFO."},
        {"a spacing file that is a FIFO", "58 0 $Ppiped.tga\t0 255 255 0 0 0 0 0 0 0 0",
         "ERROR : $Ppiped.txt: is a FIFO."},
        {"a way up out of the media folder", "63 0 ../secret.tga",
         "ERROR : ../secret.tga: leads outside the media folder.", "", true},
        {"an absolute path", "63 0 " + file("good.tga"),
         "ERROR : " + file("good.tga") + ": leads outside the media folder.", "", true},
        {"a symbolic link out of the media folder", "63 0 link.tga",
         "ERROR : link.tga: leads outside the media folder.", "", true},
    };
};

} // namespace

TEST_F(BadFilesTest, EveryBadFileGetsErrorAndLeavesWhatWasLoaded) {
    walk({}, media + "/", false);
    walk({"--media", media}, "", true);
}

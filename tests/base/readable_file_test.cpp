#include "base/MediaFolder.h"
#include "base/ReadableFile.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

using namespace kavelin;

namespace {

namespace fs = std::filesystem;

// What opening gave: "ok <size>" or the failure's reason.
template <typename Opened>
std::string outcome(const Opened& opened) {
    return opened ? "ok " + std::to_string(opened->size()) : opened.reason();
}

class ReadableFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::ofstream(temp.file("five.txt")) << "12345";
        ASSERT_EQ(::mkfifo(temp.file("fifo").c_str(), 0600), 0);
        fs::create_directory(temp.file("dir"));
        fs::create_symlink("/dev/zero", temp.file("zero.tga"));
    }
    std::string at(const std::string& name) const { return temp.file(name); }

    test::TempDir temp{"kavelin-readable"};
};

} // namespace

// Nothing but a regular file is kept, and nothing blocks: a FIFO without a writer is refused
// at once.
TEST_F(ReadableFileTest, OnlyRegularFilesAreOpened) {
    // A socket cannot be opened at all; it is still named as what it is.
    const int listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string socketPath = at("socket");
    ASSERT_LT(socketPath.size(), sizeof address.sun_path);
    socketPath.copy(address.sun_path, socketPath.size());
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);

    const std::pair<std::string, std::string> cases[] = {
        {at("five.txt"), "ok 5"},
        {at("fifo"), at("fifo") + ": is a FIFO"},
        {at("dir"), at("dir") + ": is a directory"},
        {at("zero.tga"), at("zero.tga") + ": is a device"},
        {at("socket"), at("socket") + ": is a socket"},
        {at("missing"), at("missing") + ": No such file or directory"},
    };
    for (const auto& [path, expected] : cases)
        EXPECT_EQ(outcome(ReadableFile::open(path)), expected) << path;
    ::close(listener);

    // Only a missing file is "not there"; everything else is a failure.
    Result<std::optional<ReadableFile>> missing = ReadableFile::openIfPresent(at("missing"));
    ASSERT_TRUE(missing);
    EXPECT_FALSE(missing->has_value());
    EXPECT_FALSE(ReadableFile::openIfPresent(at("fifo")));
    EXPECT_FALSE(ReadableFile::openIfPresent(at("five.txt/x")).value().has_value());
}

TEST_F(ReadableFileTest, ReadsAreExactAndBounded) {
    Result<ReadableFile> file = ReadableFile::open(at("five.txt"));
    ASSERT_TRUE(file);
    char two[2];
    ASSERT_TRUE(file->readAt(two, 2, 3));
    EXPECT_EQ(std::string(two, 2), "45");
    EXPECT_EQ(file->readAt(two, 2, 4).reason(), at("five.txt") + ": is shorter than expected");
    EXPECT_EQ(outcome(file->readAll(5)), "ok 5");
    EXPECT_EQ(file->readAll(4).reason(), at("five.txt") + ": is longer than 4 bytes");
    // The descriptor goes with the file when it is moved.
    ReadableFile moved = std::move(*file);
    EXPECT_EQ(file->fd(), -1);
    EXPECT_TRUE(moved.readAt(two, 1, 0));
}

// Beneath a media folder, every way out is refused, whatever is at its end; symbolic links
// that stay inside work.
TEST_F(ReadableFileTest, MediaFolderKeepsPathsInside) {
    fs::create_directories(at("media/clips"));
    std::ofstream(at("media/clips/a.tga")) << "abc";
    std::ofstream(at("secret.tga")) << "secret";
    fs::create_symlink("../clips/a.tga", at("media/clips/inside.tga"));
    fs::create_symlink("../../secret.tga", at("media/clips/outside.tga"));
    fs::create_symlink(at("media/clips/a.tga"), at("media/absolute.tga"));
    fs::create_symlink("/dev/zero", at("media/zero.tga"));
    Result<MediaFolder> media = MediaFolder::open(at("media"));
    ASSERT_TRUE(media);
    EXPECT_TRUE(media->confined());

    const std::string out = ": leads outside the media folder";
    const std::pair<std::string, std::string> cases[] = {
        {"clips/a.tga", "ok 3"},
        {"clips/../clips/a.tga", "ok 3"},
        {"clips/inside.tga", "ok 3"},
        {"../secret.tga", "../secret.tga" + out},
        {"clips/../../secret.tga", "clips/../../secret.tga" + out},
        {at("secret.tga"), at("secret.tga") + out},
        {at("media/clips/a.tga"), at("media/clips/a.tga") + out}, // absolute, even inside
        {"clips/outside.tga", "clips/outside.tga" + out},
        {"absolute.tga", "absolute.tga" + out},
        {"zero.tga", "zero.tga" + out},
        {"clips", "clips: is a directory"},
        {"nothing.tga", "nothing.tga: No such file or directory"},
    };
    for (const auto& [path, expected] : cases)
        EXPECT_EQ(outcome(media->openFile(path)), expected) << path;
    EXPECT_FALSE(media->openFileIfPresent("../secret.tga"));

    // Without a folder, paths are taken as given.
    EXPECT_FALSE(MediaFolder::none().confined());
    EXPECT_EQ(outcome(MediaFolder::none().openFile(at("secret.tga"))), "ok 6");

    EXPECT_EQ(MediaFolder::open(at("five.txt")).reason(), at("five.txt") + ": Not a directory");
    EXPECT_EQ(MediaFolder::open(at("none")).reason(), at("none") + ": No such file or directory");
}

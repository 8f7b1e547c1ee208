// Every input the command fuzzers found a fault with (tests/commands/fuzz-inputs, named
// <family>-<what>.bin) and every seed of their corpora (fuzz/corpus/<family>/), replayed through
// the fuzzers' own entry point: each must run with its scene set up and only well-formed
// replies.
#include "fuzz/CommandFuzzing.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>

using namespace kavelin;
namespace fs = std::filesystem;

namespace {

struct Input {
    fs::path file;
    std::string family;
    bool seed = false;
};

std::vector<Input> inputs() {
    const fs::path source = KAVELIN_SOURCE_DIR;
    std::vector<Input> found;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(source / "tests/commands/fuzz-inputs", error)) {
        const std::string name = entry.path().filename().string();
        found.push_back({entry.path(), name.substr(0, name.find('-')), false});
    }
    for (const auto& folder : fs::directory_iterator(source / "fuzz/corpus", error))
        for (const auto& entry : fs::directory_iterator(folder.path(), error))
            found.push_back({entry.path(), folder.path().filename().string(), true});
    return found;
}

} // namespace

TEST(FuzzRegression, EveryFoundInputAndSeedRunsClean) {
    const std::vector<Input> all = inputs();
    // Every family has seeds.
    for (const fuzz::CommandFamily& family : fuzz::commandFamilies())
        EXPECT_TRUE(std::any_of(all.begin(), all.end(), [&](const Input& in) {
            return in.seed && in.family == family.name;
        })) << family.name;
    for (const Input& input : all) {
        SCOPED_TRACE(input.file.string());
        const fuzz::CommandFamily* family = fuzz::findCommandFamily(input.family);
        ASSERT_NE(family, nullptr);
        std::ifstream in(input.file, std::ios::binary);
        const std::string bytes{std::istreambuf_iterator<char>(in), {}};
        const fuzz::CommandRun run = fuzz::runCommandInput(
            *family, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
        EXPECT_EQ(run.setupFailures, 0);
        EXPECT_EQ(run.badReplies, 0);
        if (input.seed) {
            EXPECT_GT(run.lines, 0);
        }
    }
}

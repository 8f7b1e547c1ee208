// Commands against the memory budget: what would pass it is refused and changes nothing, what is
// released is given back, and an allocation that fails is an ERROR for its command only.
#include "commands/CommandFixture.h"
#include "image/PixelMemory.h"
#include "support/ScopedMemoryLimit.h"

namespace kavelin::test {

namespace {

constexpr uint64_t kMiB = uint64_t{1} << 20;

class MemoryCommands : public CommandFixture {
protected:
    // A limit of whole MiB with at least `room` bytes free; its text as the log gives it.
    std::string limitWithRoom(uint64_t room) {
        const uint64_t mib = (MemoryBudget::process().used() + room + kMiB - 1) / kMiB;
        limit.emplace(mib * kMiB);
        return std::to_string(mib) + " MiB";
    }
    std::optional<ScopedMemoryLimit> limit;
};

} // namespace

TEST_F(MemoryCommands, WhatWouldPassTheBudgetIsRefusedAndChangesNothing) {
    run("116");
    run("121 0");
    run("121 0");
    run("62 0 1024 1024"); // 4 MiB
    run("62 1 2 2");
    run("75 0");
    const std::shared_ptr<const Image> shown = layer(0).imageRef();
    const std::string budget = limitWithRoom(256 << 10);
    auto refused = [&](int number) {
        return "ERROR : Command " + std::to_string(number) + " exceeds the memory budget of " +
               budget + ".";
    };
    walk({
        {"62 1 1024 1024", "ERROR", {refused(62), "ERROR (initLayer_size) : init failed."}},
        {"124 1", "OK 2 2", {}},
        // A copy of the picture on air, and one that would grow the picture.
        {"84 0 0", "ERROR", {refused(84), "ERROR (copyLayer) : Copy failed."}},
        {"69 1 0 0 0 0 0 0 1 0 0 0", "OK", {"Layer 1 cursor set."}},
        {"84 1 0", "ERROR", {refused(84), "ERROR (copyLayer) : Copy failed."}},
        {"85 1 0 0 0 1024 512", "ERROR", {refused(85), "ERROR (copyLayerRegion) : Copy failed."}},
        {"124 1", "OK 2 2", {}},
        {"85 1 0 0 0 16 16", "OK", {"Layer 0 region (0, 0) 16 x 16 copied to layer 1."}},
        {"124 1", "OK 16 16", {}},
    });
    EXPECT_EQ(layer(0).imageRef(), shown);
}

// The rows' spans are an extra: without room for them the picture is shown all the same, and
// drawn whole.
TEST_F(MemoryCommands, APictureWithoutRoomForItsRowSpansIsStillShown) {
    run("116");
    run("121 0");
    limit.emplace(ScopedMemoryLimit::roomFor(64 * 64 * 4 + kPixelArrayOverhead));
    walk({{"62 0 64 64", "OK", {"Layer 0 initialized to 64 x 64"}}});
    EXPECT_EQ(layer(0).image()->coverage(), nullptr);
}

TEST_F(MemoryCommands, LayersAndSetsTakeAShareSoTheirNumberIsBounded) {
    run("116");
    limit.emplace(ScopedMemoryLimit::roomFor(10 * Scene::kLayerShare + Scene::kLayerShare / 2));
    const std::string refused = "ERROR : Command 121 exceeds the memory budget of " +
                                formatMemorySize(MemoryBudget::process().limit()) + ".";
    take();
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(run("121 0"), "OK " + std::to_string(i));
    EXPECT_EQ(run("121 0"), "ERROR");
    EXPECT_EQ(run("116"), "ERROR");
    EXPECT_EQ(take(),
              (Lines{refused, "ERROR : Command 116 exceeds the memory budget of " +
                                  formatMemorySize(MemoryBudget::process().limit()) + "."}));
    run("117 0");
    EXPECT_EQ(run("116"), "OK 0");
}

TEST_F(MemoryCommands, ReleasedLayersGiveTheirBytesBack) {
    const uint64_t before = MemoryBudget::process().used();
    run("116");
    for (int i = 0; i < 3; ++i) {
        run("121 0");
        run("62 " + std::to_string(i) + " 100 100");
    }
    EXPECT_GE(MemoryBudget::process().used(), before + 3 * 100 * 100 * 4 + 3 * Scene::kLayerShare);
    run("84 0 1");
    run("117 0");
    EXPECT_EQ(MemoryBudget::process().used(), before);
}

TEST_F(MemoryCommands, FontLibraryAllocationsCountAgainstTheBudget) {
    const std::string line = "4 0 DejaVu Sans\t-32 1 0 0 1";
    {
        const ScopedMemoryLimit tight(ScopedMemoryLimit::roomFor(1024));
        take();
        EXPECT_EQ(run(line), "ERROR");
        EXPECT_EQ(take(), (Lines{"ERROR : Command 4 exceeds the memory budget of " +
                                     formatMemorySize(MemoryBudget::process().limit()) + ".",
                                 "ERROR (loadFont) : Loading failed."}));
    }
    EXPECT_EQ(run(line), "OK");
}

namespace {

// Output commands that run out of memory while they hold the scene.
class StarvedOutputs : public OutputCommands {
public:
    explicit StarvedOutputs(SharedScene& scene) : scene_(scene) {}
    Result<int32_t> addOutput(const std::string&) override { starve(); }
    Status removeOutput(int32_t) override { starve(); }
    Result<int32_t> listOutputs() override { starve(); }
    void refuse(int32_t) override { starve(); }
    [[noreturn]] void starve() {
        SharedScene::Access access = scene_.forCommand();
        throw std::bad_alloc();
    }

private:
    SharedScene& scene_;
};

} // namespace

TEST(CommandMemoryTest, AnAllocationThatFailsIsAnErrorForItsCommandOnly) {
    SharedScene scene;
    RecordingLog log;
    StarvedOutputs outputs(scene);
    auto executor = CommandExecutor::create(scene, log, outputs);
    ASSERT_TRUE(executor.ok());
    auto run = [&](const std::string& line) {
        return (*executor)->execute(line.c_str(), line.size());
    };
    EXPECT_EQ(run("1001 2"), "ERROR");
    EXPECT_EQ(run("116"), "OK 0"); // the scene's lock was let go
    EXPECT_EQ(log.lines(), (Lines{"ERROR : Out of memory for command 1001."}));
}

} // namespace kavelin::test

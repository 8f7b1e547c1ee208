#pragma once

#include "commands/CommandExecutor.h"
#include "engine/SharedScene.h"
#include "support/RecordingLog.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace kavelin::test {

using Lines = std::vector<std::string>;

// Runs command lines through a real executor and scene, as the server does.
class CommandFixture : public ::testing::Test {
protected:
    void SetUp() override {
        auto made = CommandExecutor::create(scene, log, outputs);
        ASSERT_TRUE(made.ok());
        executor = std::move(*made);
    }
    std::string run(const std::string& line) {
        return executor->execute(line.c_str(), line.size());
    }
    // The log lines since the last call.
    Lines take() {
        Lines lines = log.lines();
        log.clear();
        return lines;
    }
    // A line, the reply it must get and the log lines it must write.
    struct Step {
        std::string line, reply;
        Lines log;
    };
    void walk(const std::vector<Step>& steps) {
        take();
        for (const Step& step : steps) {
            EXPECT_EQ(run(step.line), step.reply) << step.line;
            EXPECT_EQ(take(), step.log) << step.line;
        }
    }
    // The scene as the frame path sees it (the test is the only thread).
    Layer& layer(int number) { return *scene.forCommand()->findLayer(number); }
    std::string file(const std::string& name) const { return temp.file(name); }

    SharedScene scene;
    RecordingLog log;
    NoOutputCommands outputs{log, "TestOutput"};
    std::unique_ptr<CommandExecutor> executor;
    TempDir temp{"kavelin-commands"};
};

} // namespace kavelin::test

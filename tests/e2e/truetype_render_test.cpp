// Runs the TrueType example script through `kavelin render`: every command succeeds, the log
// shows each drawing, and the frame holds the captions.
#include "support/RunProgram.h"

#include <gtest/gtest.h>

#include <string>

using kavelin::test::runProgram;

TEST(TrueTypeRender, ExampleScriptDrawsEveryCaption) {
    const std::string script = std::string(KAVELIN_SOURCE_DIR) + "/examples/truetype/scripts.txt";
    const auto result =
        runProgram(std::string(KAVELIN_BINARY) + " render --raw /dev/null " + script + " 2>&1");
    ASSERT_EQ(result.exitCode, 0) << result.out;
    EXPECT_EQ(result.out.find("ERROR"), std::string::npos) << result.out;
    for (const char* line :
         {"Font DejaVu Sans loaded, size 48\n", "Font DejaVu Serif loaded, size 44\n",
          "Font Liberation Serif loaded, size 30\n", "Added effect to font 3\n",
          "Text drawn to layer 0 at (20, 16), size ", "Text drawn to layer 0 at (20, 226), size ",
          "Text drawn to layer 0 at (20, 310), size "})
        EXPECT_NE(result.out.find(line), std::string::npos) << line << "\n" << result.out;
    // The wrapped paragraph: three lines 36 apart in a 30-pixel cell.
    EXPECT_NE(result.out.find(" x 102.\n"), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("OK 3\n"), std::string::npos) << result.out;
}

// libFuzzer target: command lines of one command family (KAVELIN_COMMAND_FAMILY, one target per
// family; see CommandFuzzing.h for how bytes become lines).

#include "CommandFuzzing.h"
#include "SanitizerDefaults.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const kavelin::fuzz::CommandFamily* family =
        kavelin::fuzz::findCommandFamily(KAVELIN_COMMAND_FAMILY);
    if (family == nullptr)
        std::abort();
    const kavelin::fuzz::CommandRun run = kavelin::fuzz::runCommandInput(*family, data, size);
    if (run.setupFailures > 0 || run.badReplies > 0)
        std::abort();
    return 0;
}

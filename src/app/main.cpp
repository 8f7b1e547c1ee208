#include "app/CommandLine.h"
#include "app/DisplayProbe.h"
#include "app/GuiRunner.h"
#include "app/HeadlessRunner.h"
#include "app/OfflineRenderer.h"
#include "app/SendClient.h"
#include "app/SpriteFontMaker.h"
#include "base/MemoryBudget.h"
#include "commands/CommandTable.h"
#include "image/PixelDispatch.h"

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <unistd.h>

using kavelin::CommandLine;

namespace {

// A KAVELIN_SIMD that cannot be followed is said once; the best level is used instead.
void warnAboutSimdChoice() {
    const kavelin::SimdChoice& choice = kavelin::simdChoice();
    if (!choice.requested.empty() && choice.requested != choice.used->name)
        std::fprintf(stderr,
                     "kavelin: KAVELIN_SIMD=%s is not a level this processor runs (scalar, sse2, "
                     "avx2, avx512, up to its best); using %s\n",
                     choice.requested.c_str(), choice.used->name);
}

} // namespace

int main(int argc, char** argv) {
    // A reader that goes away (a client, a FIFO, a pipe on standard output) is an error to
    // handle where it happens, not a reason to end the program.
    std::signal(SIGPIPE, SIG_IGN);
    CommandLine cl = CommandLine::parse(std::vector<std::string>(argv + 1, argv + argc));
    if (cl.memoryLimit != 0)
        kavelin::MemoryBudget::process().setLimit(cl.memoryLimit);
    switch (cl.mode) {
    case CommandLine::Mode::Help:
        std::fputs(kavelin::usageText(), stdout);
        return 0;
    case CommandLine::Mode::Version:
        std::printf("Kavelin %s\n", KAVELIN_VERSION);
        return 0;
    case CommandLine::Mode::Commands:
        std::fputs(kavelin::commandReference().c_str(), stdout);
        return 0;
    case CommandLine::Mode::Invalid:
        std::fprintf(stderr, "kavelin: %s%s\n", cl.error.c_str(),
                     cl.pointToUsage ? " (kavelin --help shows the usage)" : "");
        return 2;
    case CommandLine::Mode::Render:
        warnAboutSimdChoice();
        return kavelin::runOffline(
            {cl.script, cl.pngDir, cl.rawFile, cl.format, cl.key, cl.threads}, stdout,
            STDERR_FILENO);
    case CommandLine::Mode::Send:
        return kavelin::runSend(cl.sendArgs, stdout, stderr);
    case CommandLine::Mode::MakeFont:
        return kavelin::runSpriteFontMaker(cl.makeFontArgs, stdout, stderr);
    case CommandLine::Mode::Run:
        warnAboutSimdChoice();
        if (!cl.headless) {
            const kavelin::DisplayProbe display = kavelin::probeDisplay();
            if (display.usable)
                return kavelin::runGui(cl, argc, argv);
            std::printf("kavelin: %s; running headless\n", display.reason.c_str());
            std::fflush(stdout);
            std::erase(cl.outputs, "window");
        }
        return kavelin::runHeadless(cl);
    }
    return 1;
}

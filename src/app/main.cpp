#include "app/CommandLine.h"
#include "app/DisplayProbe.h"
#include "app/GuiRunner.h"
#include "app/HeadlessRunner.h"
#include "app/OfflineRenderer.h"
#include "app/SpriteFontMaker.h"

#include <cstdio>
#include <cstdlib>

using kavelin::CommandLine;

int main(int argc, char** argv) {
    const CommandLine cl = CommandLine::parse(std::vector<std::string>(argv + 1, argv + argc));
    switch (cl.mode) {
    case CommandLine::Mode::Help:
        std::fputs(kavelin::usageText(), stdout);
        return 0;
    case CommandLine::Mode::Version:
        std::printf("Kavelin %s\n", KAVELIN_VERSION);
        return 0;
    case CommandLine::Mode::Invalid:
        std::fprintf(stderr, "kavelin: %s\n%s", cl.error.c_str(), kavelin::usageText());
        return 2;
    case CommandLine::Mode::Render:
        return kavelin::runOffline({cl.script, cl.pngDir, cl.rawFile}, stdout, stderr);
    case CommandLine::Mode::MakeFont:
        return kavelin::runSpriteFontMaker(cl.makeFontArgs, stdout, stderr);
    case CommandLine::Mode::Run:
        if (!cl.headless) {
            const kavelin::DisplayProbe display = kavelin::probeDisplay();
            if (display.usable)
                return kavelin::runGui(cl, argc, argv);
            std::printf("kavelin: %s; running headless\n", display.reason.c_str());
            std::fflush(stdout);
        }
        return kavelin::runHeadless(cl);
    }
    return 1;
}

#include "app/CommandLine.h"
#include "app/OfflineRenderer.h"
#include "app/SpriteFontMaker.h"

#include <cstdio>

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
        std::fprintf(stderr, "kavelin: the server is not built yet\n");
        return 1;
    }
    return 1;
}

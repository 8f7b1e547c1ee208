#include "app/HeadlessRunner.h"

#include "app/Application.h"
#include "output/HeadlessOutput.h"

#include <csignal>
#include <cstdio>
#include <ctime>

namespace kavelin {

namespace {

constexpr int32_t kFrameWidth = 720;
constexpr int32_t kFrameHeight = 576;
constexpr int32_t kFramesPerSecond = 25;

} // namespace

int runHeadless(const CommandLine& commandLine) {
    // The signals are taken synchronously below; every thread started from here inherits the
    // blocked mask, so none of them is interrupted.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);

    Application::Settings settings;
    settings.port = commandLine.port;
    settings.listenAddress = commandLine.listenAddress;
    Application app(settings, [](const Application::Settings&) {
        return std::make_unique<HeadlessOutput>(kFrameWidth, kFrameHeight, kFramesPerSecond);
    });
    app.setLogView([](std::string_view line) {
        std::fwrite(line.data(), 1, line.size(), stdout);
        std::fputc('\n', stdout);
        std::fflush(stdout);
    });
    app.start();

    const timespec poll{0, 100 * 1000 * 1000};
    while (!app.workerEnded()) {
        if (sigtimedwait(&signals, nullptr, &poll) > 0) {
            app.stop();
            app.wait();
            return 0;
        }
    }
    // The worker ended by itself: the start-up failed.
    if (app.failure() == Application::Failure::CommandSource)
        std::fprintf(stderr,
                     "kavelin: cannot listen on %s port %d (in use, or not an address of "
                     "this machine)\n",
                     settings.listenAddress.c_str(), settings.port);
    else
        std::fprintf(stderr, "kavelin: start-up failed (see the log above)\n");
    return 1;
}

} // namespace kavelin

#include "app/HeadlessRunner.h"

#include "app/Application.h"
#include "app/JournalStream.h"
#include "app/OutputMaker.h"
#include "app/ServiceNotifier.h"
#include "engine/LogChannel.h"
#include "engine/StreamLogWriter.h"

#include <csignal>
#include <cstdio>
#include <ctime>
#include <unistd.h>

namespace kavelin {

int runHeadless(const CommandLine& commandLine) {
    // The signals are taken synchronously below; every thread started from here inherits the
    // blocked mask, so none of them is interrupted.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);

    LogChannel log;
    log.addWriter(
        std::make_shared<StreamLogWriter>(STDOUT_FILENO, StreamLogWriter::Lines::All,
                                          standardOutputLogStyle(commandLine.timestampedLog)));
    Application::Settings settings = settingsOf(commandLine);
    // Under a service manager; it outlives the application, whose frame path calls it.
    const std::unique_ptr<ServiceNotifier> notifier = ServiceNotifier::fromEnvironment();
    if (notifier)
        settings.frameHandedOut = [notifier = notifier.get()] { notifier->frameHandedOut(); };
    Application app(settings, log, [&log, &settings](const std::string& output) {
        return makeOutput(output, settings.format, log);
    });
    app.start();

    const timespec poll{0, 100 * 1000 * 1000};
    while (!app.workerEnded()) {
        if (sigtimedwait(&signals, nullptr, &poll) > 0) {
            if (notifier)
                notifier->stopping();
            app.stop();
            app.wait();
            return 0;
        }
    }
    app.wait();
    log.flush();
    // The worker ended by itself: the start-up failed.
    if (app.failure() == Application::Failure::CommandSource)
        std::fprintf(stderr,
                     "kavelin: cannot listen on %s port %d (in use, or not an address of "
                     "this machine)\n",
                     settings.listenAddress.c_str(), settings.port);
    else if (app.failure() == Application::Failure::Output)
        std::fprintf(stderr, "kavelin: no output could start (see the log above)\n");
    else if (app.failure() == Application::Failure::Metrics)
        std::fprintf(stderr, "kavelin: cannot serve metrics on %s port %d (see the log above)\n",
                     settings.metricsAddress.c_str(), settings.metricsPort);
    else
        std::fprintf(stderr, "kavelin: start-up failed (see the log above)\n");
    const Application::Failure failure = app.failure();
    return failure == Application::Failure::Output || failure == Application::Failure::Metrics ? 2
                                                                                               : 1;
}

} // namespace kavelin

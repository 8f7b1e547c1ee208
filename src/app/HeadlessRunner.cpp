#include "app/HeadlessRunner.h"

#include "app/Application.h"
#include "app/JournalStream.h"
#include "app/OutputMaker.h"
#include "app/ServiceNotifier.h"
#include "app/StartUpFailure.h"
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
    const StartUpFailure failed = describeStartUpFailure(app.failure(), settings);
    std::fprintf(stderr, "kavelin: %s\n", failed.message.c_str());
    return failed.exitCode;
}

} // namespace kavelin

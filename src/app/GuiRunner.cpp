#include "app/GuiRunner.h"

#include "app/ControlDialog.h"
#include "output/qt/KvWindowOutput.h"

#include <QApplication>
#include <QEventLoop>
#include <QMessageBox>
#include <QScreen>
#include <QSocketNotifier>
#include <QTimer>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace kavelin {

namespace {

constexpr int32_t kFrameWidth = 720;
constexpr int32_t kFrameHeight = 576;
constexpr int32_t kFramesPerSecond = 25;

int signalPipe[2] = {-1, -1};

void onSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(signalPipe[1], &byte, 1);
}

// SIGINT and SIGTERM close the dialog, as its Close button does, through a pipe that the GUI
// thread watches (a signal handler may do no more than write to it).
void closeOnSignals(ControlDialog& dialog) {
    if (signalPipe[0] < 0 && ::pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, &dialog);
    QObject::connect(notifier, &QSocketNotifier::activated, &dialog, [&dialog] {
        char bytes[16];
        while (::read(signalPipe[0], bytes, sizeof bytes) > 0) {
        }
        dialog.closeDialog();
    });
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

int screenDepth() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen != nullptr ? screen->depth() : 0;
}

// Keeps serving the GUI thread's events until the worker thread has ended: its shutdown closes
// the output window, which it asks the GUI thread to do and waits for.
void serveUntilWorkerEnds(const Application& app) {
    if (app.workerEnded())
        return;
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (app.workerEnded())
            loop.quit();
    });
    poll.start(5);
    loop.exec();
}

} // namespace

int runControlSession(const Application::Settings& settings,
                      const std::function<void(ControlDialog&)>& opened) {
    if (!colourDepthSupported(screenDepth())) {
        QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Unsupported color mode!"),
                        QStringLiteral("Please change your Windows Desktop into 32bit color "
                                       "mode,\nand then restart the application."),
                        QMessageBox::Ok);
        box.exec();
        return 0;
    }
    // The event loop of the dialog is not the last word: the shutdown still needs this thread.
    QApplication::setQuitOnLastWindowClosed(false);
    Application app(settings, [](const Application::Settings& s) {
        return std::make_unique<KvWindowOutput>(kFrameWidth, kFrameHeight, kFramesPerSecond,
                                                s.background, s.scale);
    });
    {
        ControlDialog dialog(app);
        if (opened)
            opened(dialog);
        dialog.run();
        serveUntilWorkerEnds(app);
    }
    return 1;
}

int runGui(const CommandLine& commandLine, int argc, char** argv) {
    QApplication qapp(argc, argv);
    Application::Settings settings;
    settings.port = commandLine.port;
    settings.listenAddress = commandLine.listenAddress;
    return runControlSession(settings, [](ControlDialog& dialog) { closeOnSignals(dialog); });
}

} // namespace kavelin

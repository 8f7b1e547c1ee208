#include "app/GuiRunner.h"

#include "app/ControlDialog.h"
#include "app/DisplayProbe.h"
#include "app/JournalStream.h"
#include "app/OutputMaker.h"
#include "app/StartUpFailure.h"
#include "engine/LogChannel.h"
#include "engine/StreamLogWriter.h"
#include "outputs/window/KvWindowOutput.h"

#include <QApplication>
#include <QEventLoop>
#include <QMessageBox>
#include <QScreen>
#include <QSocketNotifier>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <mutex>
#include <string>
#include <unistd.h>
#include <vector>

namespace kavelin {

namespace {

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

// Qt's messages while it starts: a fatal one (the display cannot be used, no platform plugin)
// ends the program with one line naming the display and the reason, where Qt would abort. The
// others are held back, so that such a failure prints nothing but that line, and passed on
// once Qt has started. A single object for the program's life: Qt's own threads may still be
// in the handler when it is switched back.
class StartUpMessages {
public:
    static void begin() {
        StartUpMessages& self = instance();
        self.display_ = displayName();
        self.previous_ = qInstallMessageHandler(&StartUpMessages::handle);
    }
    static void end() {
        StartUpMessages& self = instance();
        qInstallMessageHandler(self.previous_);
        std::lock_guard lock(self.mutex_);
        for (const Held& held : self.held_)
            self.previous_(held.type,
                           QMessageLogContext(nullptr, 0, nullptr, held.category.c_str()),
                           held.text);
        self.held_.clear();
    }

private:
    struct Held {
        QtMsgType type;
        std::string category;
        QString text;
    };

    static StartUpMessages& instance() {
        static StartUpMessages messages;
        return messages;
    }

    static void handle(QtMsgType type, const QMessageLogContext& context, const QString& text) {
        StartUpMessages& self = instance();
        std::lock_guard lock(self.mutex_);
        const std::string category = context.category != nullptr ? context.category : "";
        if (type != QtFatalMsg) {
            // The platform's own words say best why it could not start.
            if (self.reason_.isEmpty() && type == QtWarningMsg && category.rfind("qt.qpa", 0) == 0)
                self.reason_ = text;
            self.held_.push_back({type, category, text});
            return;
        }
        const QString reason =
            self.reason_.isEmpty() ? text.section(QLatin1Char('\n'), 0, 0) : self.reason_;
        std::fprintf(stderr, "kavelin: cannot start the windows on %s: %s\n", self.display_.c_str(),
                     qPrintable(reason));
        std::fflush(stderr);
        std::_Exit(kExitDisplayUnusable);
    }

    std::string display_;
    QtMessageHandler previous_ = nullptr; // Qt's own when no other was installed
    std::mutex mutex_;                    // guards the two below
    std::vector<Held> held_;
    QString reason_;
};

// A start-up that fails (a port that is taken, say) is told as headless, on standard error,
// and in a message box over the dialog; closing the box ends the program.
void reportFailedStartUp(ControlDialog& dialog) {
    auto* poll = new QTimer(&dialog);
    QObject::connect(poll, &QTimer::timeout, &dialog, [&dialog, poll] {
        const Application& app = dialog.application();
        if (!app.workerEnded() || app.failure() == Application::Failure::None)
            return;
        poll->stop();
        const StartUpFailure failed = describeStartUpFailure(app.failure(), app.settings());
        std::fprintf(stderr, "kavelin: %s\n", failed.message.c_str());
        std::fflush(stderr);
        QString text = QString::fromStdString(failed.message) + QLatin1Char('.');
        text[0] = text[0].toUpper();
        auto* box = new QMessageBox(QMessageBox::Critical, dialog.windowTitle(), text,
                                    QMessageBox::Ok, &dialog);
        box->setAttribute(Qt::WA_DeleteOnClose);
        QObject::connect(box, &QMessageBox::finished, &dialog, [&dialog] { dialog.closeDialog(); });
        box->open();
    });
    poll->start(50);
}

} // namespace

int runControlSession(const Application::Settings& settings, LogChannel& log,
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
    Application app(settings, log, [&settings, &log](const std::string& output) {
        if (output != "window")
            return makeOutput(output, settings.format, log);
        return Result<std::unique_ptr<FrameConsumer>>(
            std::make_unique<KvWindowOutput>(settings.format.width, settings.format.height,
                                             settings.background, settings.scale, log));
    });
    {
        ControlDialog dialog(app, log);
        reportFailedStartUp(dialog);
        if (opened)
            opened(dialog);
        dialog.run();
        serveUntilWorkerEnds(app);
    }
    return app.failure() != Application::Failure::None
               ? describeStartUpFailure(app.failure(), settings).exitCode
               : 1;
}

int runGui(const CommandLine& commandLine, int argc, char** argv) {
    StartUpMessages::begin();
    QApplication qapp(argc, argv);
    StartUpMessages::end();
    LogChannel log;
    // The log itself goes to the dialog; standard output keeps the diagnostics.
    log.addWriter(
        std::make_shared<StreamLogWriter>(STDOUT_FILENO, StreamLogWriter::Lines::DiagnosticsOnly,
                                          standardOutputLogStyle(commandLine.timestampedLog)));
    Application::Settings settings = settingsOf(commandLine);
    if (settings.outputs.empty())
        settings.outputs.push_back("window");
    return runControlSession(settings, log, [](ControlDialog& dialog) { closeOnSignals(dialog); });
}

} // namespace kavelin

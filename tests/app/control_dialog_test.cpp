// The control dialog and its log on Qt's offscreen platform, and whole GUI sessions run through
// the same function as the program's GUI path.
#include "app/ControlDialog.h"
#include "app/GuiRunner.h"
#include "app/LogList.h"
#include "engine/LogChannel.h"
#include "net/CommandServer.h"
#include "support/ChildProcess.h"
#include "support/OffscreenQt.h"
#include "support/ServerTestSupport.h"
#include "support/TempDir.h"
#include "support/TgaWriter.h"

#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

using namespace kavelin;
using test::offscreenApp;
using test::serveUntil;

namespace {

constexpr int kWait = 20000; // ms; generous for a loaded machine and the sanitizers

// The output window, when one is shown.
QWidget* outputWindow() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->windowTitle() == "Kavelin Window Output" && w->isVisible())
            return w;
    return nullptr;
}

void pressKey(QWidget* target, int key) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(target, &press);
}

// Runs a session whose dialog is handed to `checks` once it runs, and closed after them (also
// when an assertion ended them early). Returns the session's exit code.
int runSession(uint16_t port, std::vector<std::string> outputs,
               const std::function<void(ControlDialog&)>& checks) {
    offscreenApp();
    Application::Settings settings;
    settings.port = port;
    settings.listenAddress = "127.0.0.1";
    settings.outputs = std::move(outputs);
    LogChannel log;
    return runControlSession(settings, log, [&](ControlDialog& dialog) {
        QTimer::singleShot(0, &dialog, [&] {
            checks(dialog);
            dialog.closeDialog();
        });
    });
}

} // namespace

TEST(LogListTest, KeepsNewest1001LinesCutToLengthAndSelectsTheLineBeforeTheNewest) {
    offscreenApp();
    LogList log;
    log.append(std::string(300, 'x'));
    QCoreApplication::sendPostedEvents(); // the list's queued update
    EXPECT_EQ(log.lines(), QStringList{QString(255, 'x')});
    EXPECT_EQ(log.selectedRow(), -1); // one line: nothing selected
    log.append("Error occured.\n");   // a line feed stays
    log.append("");
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(log.lines(), (QStringList{QString(255, 'x'), "Error occured.\n", ""}));
    EXPECT_EQ(log.selectedRow(), 1);
    // A burst far beyond the limit, flushed at once: the newest 1001 stay.
    for (int i = 3; i < 5000; ++i)
        log.append("line " + std::to_string(i));
    QCoreApplication::sendPostedEvents();
    ASSERT_EQ(log.lines().size(), 1001);
    EXPECT_TRUE(log.lines().front() == "line 3999" && log.lines().back() == "line 4999");
    EXPECT_EQ(log.selectedRow(), 999);
}

TEST(ControlDialogTest, SessionLogsEveryLineTogglesWindowSwitchesScaleAndEndsWithOne) {
    test::TempDir dir;
    ASSERT_TRUE(
        test::writeTga(dir.file("white.tga"), 720, 576, std::vector<uint32_t>(720 * 576, ~0u)));
    const uint16_t port = test::freePort();
    bool checked = false;
    const int code = runSession(port, {"window"}, [&](ControlDialog& dialog) {
        EXPECT_EQ(dialog.windowTitle(), "Ovindu Kavelin 4.0");
        LogList* list = dialog.logList();
        ASSERT_TRUE(serveUntil([&] { return list->lines().contains("Ready."); }, kWait));
        EXPECT_EQ(list->lines(),
                  (QStringList{"Kavelin 4.0 initializing...", "Window output initializing...",
                               "Server initializing...", "Ready."}));
        EXPECT_EQ(list->selectedRow(), 2);
        QWidget* window = outputWindow();
        ASSERT_TRUE(window != nullptr && window->size() == QSize(720, 576));

        // The server's own lines reach the dialog as the commands' do.
        test::Client client(port);
        ASSERT_TRUE(client.send("1003\n116\n121 0\n63 0 " + dir.file("white.tga") + "\n75 0\n"));
        for (const char* reply : {"ERROR\n", "OK 0\n", "OK 0\n", "OK\n", "OK\n"})
            EXPECT_EQ(client.readLine(), reply);
        ASSERT_TRUE(serveUntil([&] { return list->lines().size() >= 7; }, kWait));
        EXPECT_EQ(list->lines().mid(4, 3),
                  (QStringList{"Connection established to 127.0.0.1",
                               "(KvWindowOutput) Unsupported command (1003)",
                               "Layer 0 initialized. (tga)"}));

        // The outputs group lists every output with its state, those started later too.
        ASSERT_TRUE(client.send("1000 raw:" + dir.file("frames.raw") + "\n"));
        EXPECT_EQ(client.readLine(), "OK 2\n");
        dialog.refreshOutputs();
        QListWidget* outputs = dialog.outputList();
        ASSERT_EQ(outputs->count(), 2);
        EXPECT_TRUE(outputs->item(0)->text().startsWith("1 window\nrunning, "));
        EXPECT_TRUE(outputs->item(1)->text().startsWith(
            "2 raw:" + QString::fromStdString(dir.file("frames.raw")) + "\nrunning, "));

        // Show/Hide twice: the window goes, then comes back. Escape is the same button.
        for (const bool escape : {false, true}) {
            escape ? pressKey(&dialog, Qt::Key_Escape) : dialog.showHideButton()->click();
            EXPECT_EQ(outputWindow(), nullptr);
            escape ? pressKey(&dialog, Qt::Key_Escape) : dialog.showHideButton()->click();
            ASSERT_NE(window = outputWindow(), nullptr);
        }

        // In a narrow window the scaled white picture leaves a black band above it, the unscaled
        // one does not (a pixel counts as white when it is light). The box starts unchecked
        // while the output scales: the first click checks it and leaves scaling on, the second
        // turns it off.
        window->resize(360, 576);
        const auto pixel = [&](int y) {
            return qGray(window->grab().toImage().pixel(180, y)) > 128;
        };
        ASSERT_TRUE(serveUntil([&] { return pixel(288) && !pixel(100); }, kWait));
        for (const bool scaled : {true, false}) {
            dialog.scaleBox()->click();
            EXPECT_EQ(dialog.scaleBox()->isChecked(), scaled);
            EXPECT_EQ(pixel(100), !scaled);
        }
        pressKey(dialog.logList(), Qt::Key_Return); // Enter presses the default button, Close
        checked = !dialog.isVisible();
    });
    EXPECT_TRUE(checked);
    EXPECT_EQ(code, 1);
    EXPECT_EQ(outputWindow(), nullptr); // the shutdown closed it
}

// A taken port is told as headless tells it, on standard error and with exit code 1, and over
// the dialog in a message box; closing the box ends the session.
TEST(ControlDialogTest, ATakenPortIsNamedOverTheDialogAndEndsTheSessionAsHeadless) {
    QStringList lines;
    QString told;
    LogChannel takerLog;
    CommandServer taker(takerLog, 0, "127.0.0.1"); // holds the port
    ASSERT_TRUE(taker.start());
    const std::string reason = "cannot listen on 127.0.0.1 port " + std::to_string(taker.port()) +
                               " (in use, or not an address of this machine)";
    test::TempDir dir;
    std::fflush(stderr);
    const int savedStderr = ::dup(STDERR_FILENO);
    const int errors = ::open(dir.file("stderr.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ::dup2(errors, STDERR_FILENO);
    const int code = runSession(taker.port(), {"window", "raw:"}, [&](ControlDialog& dialog) {
        LogList* list = dialog.logList();
        QMessageBox* box = nullptr;
        ASSERT_TRUE(serveUntil(
            [&] { return (box = dialog.findChild<QMessageBox*>()) != nullptr && box->isVisible(); },
            kWait));
        told = box->text();
        serveUntil([&] { return list->lines().contains("Server shutting down..."); }, kWait);
        lines = list->lines();
        // The window went with the failed start-up, and does not come back.
        EXPECT_TRUE(serveUntil([] { return outputWindow() == nullptr; }, kWait));
        dialog.showHideButton()->click();
        EXPECT_EQ(outputWindow(), nullptr);
        box->button(QMessageBox::Ok)->click();
        EXPECT_TRUE(serveUntil([&] { return !dialog.isVisible(); }, kWait));
    });
    std::fflush(stderr);
    ::dup2(savedStderr, STDERR_FILENO);
    ::close(savedStderr);
    ::close(errors);
    EXPECT_EQ(told.toStdString(), "C" + reason.substr(1) + ".");
    const std::string standardError = test::readFile(dir.file("stderr.txt"));
    EXPECT_NE(standardError.find("kavelin: " + reason + "\n"), std::string::npos) << standardError;
    EXPECT_EQ(lines, (QStringList{"Kavelin 4.0 initializing...", "Window output initializing...",
                                  "ERROR (raw:) : unknown output 'raw:'", "Server initializing...",
                                  "Unable to initialize command source!", "Error occured.\n",
                                  "Server shutting down..."}));
    EXPECT_EQ(code, 1);
}

TEST(ControlDialogTest, ClosingRightAfterOpeningStillShutsDownCleanly) {
    EXPECT_EQ(
        runSession(test::freePort(), {"window"}, [](ControlDialog& dialog) { dialog.close(); }), 1);
    EXPECT_EQ(outputWindow(), nullptr);
}

// The control dialog and its log on Qt's offscreen platform, and whole GUI sessions run through
// the same function as the program's GUI path.
#include "app/Application.h"
#include "app/ControlDialog.h"
#include "app/GuiRunner.h"
#include "app/LogList.h"
#include "output/qt/KvWindowOutput.h"
#include "output/qt/OutputWindow.h"
#include "support/OffscreenQt.h"

#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using kavelin::ControlDialog;
using kavelin::KvWindowOutput;
using kavelin::LogList;
using kavelin::test::offscreenApp;
using kavelin::test::serveUntil;

namespace {

void flushLog() {
    QCoreApplication::sendPostedEvents();
}

QString line(int i) {
    return QStringLiteral("line %1").arg(i);
}

// The output window, when one is shown.
QWidget* outputWindow() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->windowTitle() == "Kavelin Window Output" && w->isVisible())
            return w;
    return nullptr;
}

KvWindowOutput* windowOutput(ControlDialog& dialog) {
    return dynamic_cast<KvWindowOutput*>(dialog.application().output());
}

void pressKey(QWidget* target, int key) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(target, &press);
}

// A listening socket on a loopback port, which keeps the port taken while it lives.
class TakenPort {
public:
    TakenPort() {
        fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_ANY);
        socklen_t n = sizeof a;
        ::bind(fd_, reinterpret_cast<sockaddr*>(&a), n);
        ::listen(fd_, 1);
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &n);
        port_ = ntohs(a.sin_port);
    }
    ~TakenPort() { ::close(fd_); }
    int port() const { return port_; }

private:
    int fd_ = -1;
    int port_ = 0;
};

} // namespace

TEST(LogListTest, KeepsNewest1001LinesAndSelectsTheLineBeforeTheNewest) {
    offscreenApp();
    LogList log;
    log.append("line 0");
    flushLog();
    EXPECT_EQ(log.lines(), QStringList{line(0)});
    EXPECT_EQ(log.selectedRow(), -1); // one line: nothing selected
    log.append("line 1");
    flushLog();
    EXPECT_EQ(log.selectedRow(), 0);

    for (int i = 2; i < 1000; ++i)
        log.append(line(i).toStdString());
    flushLog();
    log.append("line 1000"); // the 1001st line: nothing removed yet
    flushLog();
    EXPECT_EQ(log.lines().size(), 1001);
    EXPECT_EQ(log.lines().front(), line(0));
    EXPECT_EQ(log.selectedRow(), 999);
    log.append("line 1001"); // the 1002nd pushes out the oldest
    flushLog();
    ASSERT_EQ(log.lines().size(), 1001);
    EXPECT_EQ(log.lines().front(), line(1));
    EXPECT_EQ(log.lines().back(), line(1001));
    EXPECT_EQ(log.selectedRow(), 999);

    // A burst far beyond the limit, flushed at once, ends in the same state as line by line.
    for (int i = 1002; i < 5000; ++i)
        log.append(line(i).toStdString());
    flushLog();
    ASSERT_EQ(log.lines().size(), 1001);
    EXPECT_EQ(log.lines().front(), line(3999));
    EXPECT_EQ(log.lines().back(), line(4999));
    EXPECT_EQ(log.selectedRow(), 999);
}

TEST(LogListTest, CutsLongLinesAndKeepsLineFeeds) {
    offscreenApp();
    LogList log;
    log.append(std::string(300, 'x'));
    log.append(std::string(255, 'y'));
    log.append("Error occured.\n");
    log.append("");
    flushLog();
    const QStringList lines = log.lines();
    ASSERT_EQ(lines.size(), 4);
    EXPECT_EQ(lines[0], QString(255, 'x'));
    EXPECT_EQ(lines[1], QString(255, 'y'));
    EXPECT_EQ(lines[2], "Error occured.\n");
    EXPECT_EQ(lines[3], "");
}

TEST(LogListTest, LinesFromManyThreadsArriveWholeAndInOrder) {
    offscreenApp();
    LogList log;
    constexpr int kThreads = 4, kLines = 200;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&log, t] {
            for (int i = 0; i < kLines; ++i)
                log.append("thread " + std::to_string(t) + " line " + std::to_string(i));
        });
    // The GUI thread keeps flushing while the lines arrive.
    serveUntil([&] { return log.lines().size() == kThreads * kLines; });
    for (auto& t : threads)
        t.join();
    flushLog();
    const QStringList lines = log.lines();
    ASSERT_EQ(lines.size(), kThreads * kLines);
    std::vector<int> next(kThreads, 0);
    for (const QString& l : lines) {
        const QStringList parts = l.split(' ');
        ASSERT_EQ(parts.size(), 4) << l.toStdString();
        const int t = parts[1].toInt();
        EXPECT_EQ(parts[3].toInt(), next[static_cast<size_t>(t)]++) << l.toStdString();
    }
}

TEST(ControlDialogTest, SessionLogsStartUpTogglesWindowSwitchesScaleAndEndsWithOne) {
    offscreenApp();
    kavelin::Application::Settings settings;
    settings.port = 0; // any free port: this session takes no client
    bool checked = false;
    const int code = kavelin::runControlSession(settings, [&](ControlDialog& dialog) {
        EXPECT_EQ(dialog.windowTitle(), "Ovindu Kavelin 4.0");
        EXPECT_FALSE(dialog.windowIcon().isNull());
        EXPECT_FALSE(dialog.scaleBox()->isChecked());
        QTimer::singleShot(0, &dialog, [&] {
            LogList* log = dialog.logList();
            ASSERT_TRUE(serveUntil([&] { return log->lines().contains("Ready."); }));
            EXPECT_EQ(log->lines().mid(0, 2),
                      (QStringList{"Kavelin 4.0 initializing...", "Ready."}));
            EXPECT_EQ(log->selectedRow(), 0);
            QWidget* window = outputWindow();
            ASSERT_NE(window, nullptr);
            EXPECT_EQ(window->size(), QSize(720, 576));

            // Show/Hide twice: the window goes, then comes back.
            dialog.showHideButton()->click();
            EXPECT_EQ(outputWindow(), nullptr);
            dialog.showHideButton()->click();
            EXPECT_NE(outputWindow(), nullptr);
            // Escape is the same button.
            pressKey(&dialog, Qt::Key_Escape);
            EXPECT_EQ(outputWindow(), nullptr);
            EXPECT_TRUE(dialog.isVisible());
            pressKey(&dialog, Qt::Key_Escape);
            EXPECT_NE(outputWindow(), nullptr);

            // The box starts unchecked while the output scales; the first click checks it and
            // leaves scaling on, the second turns it off.
            KvWindowOutput* output = windowOutput(dialog);
            ASSERT_NE(output, nullptr);
            EXPECT_TRUE(output->scale());
            dialog.scaleBox()->click();
            EXPECT_TRUE(dialog.scaleBox()->isChecked());
            EXPECT_TRUE(output->scale());
            dialog.scaleBox()->click();
            EXPECT_FALSE(dialog.scaleBox()->isChecked());
            EXPECT_FALSE(output->scale());
            checked = true;

            // Enter presses the default button, Close.
            pressKey(dialog.logList(), Qt::Key_Return);
        });
    });
    EXPECT_TRUE(checked);
    EXPECT_EQ(code, 1);
    EXPECT_EQ(outputWindow(), nullptr); // the shutdown closed it
}

TEST(ControlDialogTest, FailedStartUpLeavesTheDialogUsable) {
    offscreenApp();
    TakenPort taken;
    kavelin::Application::Settings settings;
    settings.port = taken.port();
    settings.listenAddress = "127.0.0.1";
    QStringList lines;
    const int code = kavelin::runControlSession(settings, [&](ControlDialog& dialog) {
        QTimer::singleShot(0, &dialog, [&] {
            LogList* log = dialog.logList();
            serveUntil([&] { return log->lines().contains("Error occured.\n"); });
            lines = log->lines();
            dialog.closeButton()->click();
        });
    });
    EXPECT_EQ(lines, (QStringList{"Kavelin 4.0 initializing...",
                                  "Unable to initialize command source!", "Error occured.\n"}));
    EXPECT_EQ(code, 1);
    EXPECT_EQ(outputWindow(), nullptr); // what the start-up left is released at the end
}

TEST(ControlDialogTest, ClosingRightAfterOpeningStillShutsDownCleanly) {
    offscreenApp();
    kavelin::Application::Settings settings;
    settings.port = 0;
    const int code = kavelin::runControlSession(settings, [](ControlDialog& dialog) {
        QTimer::singleShot(0, &dialog, [&dialog] { dialog.close(); }); // the caption's button
    });
    EXPECT_EQ(code, 1);
    EXPECT_EQ(outputWindow(), nullptr);
}

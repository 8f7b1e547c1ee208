#pragma once

#include <QApplication>
#include <QElapsedTimer>

#include <functional>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace kavelin::test {

// The process's QApplication on Qt's offscreen platform (no display needed), created on first
// use on the calling thread, which becomes the GUI thread.
inline QApplication& offscreenApp() {
    static int argc = 1;
    static char name[] = "kavelin-test";
    static char* argv[] = {name, nullptr};
    static QApplication* app = [] {
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        // Qt wants a private runtime directory; it complains on standard error without one.
        const std::string runtime = "/tmp/kavelin-test-runtime-" + std::to_string(::getuid());
        ::mkdir(runtime.c_str(), 0700);
        ::chmod(runtime.c_str(), 0700);
        ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
        return new QApplication(argc, argv);
    }();
    return *app;
}

// Serves the GUI thread's events until `done` holds or `ms` have passed; returns `done()`.
inline bool serveUntil(const std::function<bool()>& done, int ms = 3000) {
    QElapsedTimer timer;
    for (timer.start(); !done(); ::usleep(1000)) {
        if (timer.elapsed() > ms)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QCoreApplication::sendPostedEvents();
    }
    return true;
}

} // namespace kavelin::test

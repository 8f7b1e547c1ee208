#include "outputs/window/GuiThread.h"

#include <QCoreApplication>
#include <QThread>

#include <future>

namespace kavelin {

bool runOnGuiThread(const std::function<void()>& work) {
    QCoreApplication* app = QCoreApplication::instance();
    if (app == nullptr)
        return false;
    if (QThread::currentThread() == app->thread()) {
        work();
        return true;
    }
    // A queued call and a wait of our own rather than Qt's blocking connection: the same
    // hand-over, but one that the thread checkers can see.
    std::promise<void> done;
    std::future<void> finished = done.get_future();
    if (!QMetaObject::invokeMethod(
            app,
            [&work, &done] {
                work();
                done.set_value();
            },
            Qt::QueuedConnection))
        return false;
    finished.wait();
    return true;
}

} // namespace kavelin

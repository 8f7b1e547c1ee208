#include "output/qt/GuiThread.h"

#include <QCoreApplication>
#include <QThread>

namespace kavelin {

bool runOnGuiThread(const std::function<void()>& work) {
    QCoreApplication* app = QCoreApplication::instance();
    if (app == nullptr)
        return false;
    if (QThread::currentThread() == app->thread()) {
        work();
        return true;
    }
    return QMetaObject::invokeMethod(app, work, Qt::BlockingQueuedConnection);
}

} // namespace kavelin

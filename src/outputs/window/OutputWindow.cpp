#include "outputs/window/OutputWindow.h"

#include "outputs/window/FrameExchange.h"
#include "outputs/window/PicturePlacement.h"

#include <QCloseEvent>
#include <QImage>
#include <QPainter>
#include <QRegion>

namespace kavelin {

OutputWindow::OutputWindow(std::shared_ptr<FrameExchange> frames, const std::atomic<bool>& scale,
                           QColor background, int clientWidth, int clientHeight,
                           std::function<void()> onCloseButton)
    : BaseWindow(QStringLiteral("Kavelin Window Output"), background, clientWidth, clientHeight),
      frames_(std::move(frames)), scale_(scale), onCloseButton_(std::move(onCloseButton)) {
    // paintEvent covers every pixel itself: the picture, and the background around it.
    setAutoFillBackground(false);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void OutputWindow::scheduleRepaint() {
    if (repaintPending_.exchange(true))
        return;
    QMetaObject::invokeMethod(
        this,
        [this] {
            repaintPending_ = false;
            update();
        },
        Qt::QueuedConnection);
}

void OutputWindow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    QRect picture;
    if (const FrameBuffer* frame = frames_->acquire()) {
        const PicturePlacement place =
            placePicture(frame->width(), frame->height(), width(), height(), scale_.load());
        picture = QRect(place.x, place.y, place.width, place.height);
        if (!picture.isEmpty()) {
            // A view of the frame's memory, no copy; the alpha bytes are already opaque.
            const QImage image(frame->pixels(), frame->width(), frame->height(), frame->pitch(),
                               QImage::Format_RGB32);
            painter.drawImage(picture, image);
        }
    }
    for (const QRect& margin : QRegion(rect()).subtracted(picture))
        painter.fillRect(margin, background());
}

void OutputWindow::closeEvent(QCloseEvent* event) {
    event->accept();
    // The output deletes this window; it must not happen inside the window's own event.
    if (onCloseButton_)
        QMetaObject::invokeMethod(this, onCloseButton_, Qt::QueuedConnection);
}

} // namespace kavelin

#include "outputs/window/BaseWindow.h"

#include <QPalette>

namespace kavelin {

BaseWindow::BaseWindow(const QString& title, QColor background, int clientWidth, int clientHeight)
    : QWidget(nullptr, Qt::Window), background_(background) {
    setWindowTitle(title);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, background_);
    setPalette(palette);
    setAutoFillBackground(true);
    resize(clientWidth, clientHeight);
}

} // namespace kavelin

#pragma once

#include <QColor>
#include <QString>
#include <QWidget>

namespace kavelin {

// A top-level window with a title, a background colour that fills whatever the derived class
// does not paint, and a client area of a given size.
class BaseWindow : public QWidget {
public:
    BaseWindow(const QString& title, QColor background, int clientWidth, int clientHeight);

    QColor background() const { return background_; }

private:
    QColor background_;
};

} // namespace kavelin

#pragma once

#include <QIcon>

namespace kavelin {

// The program's icon, drawn at run time so that no image file has to be found.
QIcon appIcon();

} // namespace kavelin

#include "desktop/qt_application_icon.h"

#include <QIcon>

namespace quillon {

QIcon qtApplicationIcon() { return QIcon(QStringLiteral(":/quillon/icons/quillon.png")); }

}  // namespace quillon

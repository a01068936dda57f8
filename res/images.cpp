#include "res/art_painter.h"
#include "res/resource_ids.h"
#include "res/resources.h"

namespace res {

QPixmap LoadImage(int id, QSize size) {
    if (size.isEmpty())
        return QPixmap();
    switch (id) {
    case IDR_MAINFRAME:
        return QPixmap::fromImage(MakeEmblem(std::min(size.width(), size.height())));
    case IDB_SAVEMSG:
        return QPixmap::fromImage(MakePromptPicture(size));
    default:
        return QPixmap();
    }
}

} // namespace res

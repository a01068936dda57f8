// Looking up the compiled-in resources: dialog templates, the menu, the
// string table and the pictures.
#pragma once

#include "platform/qt/dialog_template_qt.h"

#include <QPixmap>
#include <QString>
#include <span>

namespace res {

// Throws std::out_of_range for an id that has no template.
const platform::DialogTemplate& Dialog(int id);
std::span<const platform::DialogTemplate* const> AllDialogs();

const platform::MenuTemplate& MainMenu();

// Empty for an id the table does not hold.
QString LoadString(int id);

// The program icon (IDR_MAINFRAME) or the prompt's picture (IDB_SAVEMSG)
// drawn at `size`; a null pixmap for other ids.
QPixmap LoadImage(int id, QSize size);

} // namespace res

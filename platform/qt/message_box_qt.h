// The GUI's message boxes: the handler behind platform::MessageBox.
#pragma once

#include "platform/message_box.h"

#include <QString>
#include <memory>

class QMessageBox;
class QWidget;

namespace platform {

// The box for `style`: question icon with Yes and No, or information icon
// with OK; on top of everything and modal to the whole application.
std::unique_ptr<QMessageBox> MakeMessageBox(QWidget* owner, const QString& text,
                                            const QString& caption, unsigned style);

// Shows the box (on the GUI thread, whichever thread asks) and returns
// IDYES, IDNO or IDOK. A box closed without an answer counts as No or OK.
int ShowQtMessageBox(void* owner, const std::wstring& text, const std::wstring& caption,
                     unsigned style);

// Makes platform::MessageBox show Qt boxes; the GUI start-up calls it.
void InstallQtMessageBoxHandler();

} // namespace platform

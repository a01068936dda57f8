#include "platform/qt/message_box_qt.h"

#include "platform/qt/gui_host_qt.h"
#include "platform/qt/local_path_qt.h"

#include <QMessageBox>
#include <QPointer>

namespace platform {

std::unique_ptr<QMessageBox> MakeMessageBox(QWidget* owner, const QString& text,
                                            const QString& caption, unsigned style) {
    const bool question = (style & MB_YESNO) == MB_YESNO;
    auto box = std::make_unique<QMessageBox>(owner);
    box->setWindowTitle(caption);
    box->setText(text);
    // The icon comes from its own flag: a notice may carry a question icon.
    if (style & MB_ICONQUESTION)
        box->setIcon(QMessageBox::Question);
    else if (style & MB_ICONINFORMATION)
        box->setIcon(QMessageBox::Information);
    else
        box->setIcon(question ? QMessageBox::Question : QMessageBox::Information);
    if (question) {
        box->setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box->setDefaultButton(QMessageBox::Yes);
        box->setEscapeButton(QMessageBox::No);
    } else {
        box->setStandardButtons(QMessageBox::Ok);
    }
    box->setWindowModality(Qt::ApplicationModal);
    box->setWindowFlag(Qt::WindowStaysOnTopHint, true);
    return box;
}

int ShowQtMessageBox(void* owner, const std::wstring& text, const std::wstring& caption,
                     unsigned style) {
    const bool question = (style & MB_YESNO) == MB_YESNO;
    int result = question ? IDNO : IDOK;
    RunOnGuiThread([&] {
        auto box = MakeMessageBox(static_cast<QWidget*>(owner), ShownText(text),
                                  QString::fromStdWString(caption), style);
        const int answer = box->exec();
        if (question)
            result = answer == QMessageBox::Yes ? IDYES : IDNO;
    });
    return result;
}

void InstallQtMessageBoxHandler() {
    SetMessageBoxHandler(&ShowQtMessageBox);
}

} // namespace platform

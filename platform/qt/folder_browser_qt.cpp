#include "platform/qt/folder_browser_qt.h"

#include "platform/qt/local_path_qt.h"
#include "platform/text.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <filesystem>
#include <system_error>
#include <utility>

namespace platform {

namespace {

FolderBrowserHook g_folderBrowserHook;

// The directory chooser, which also takes the name of a folder that is not
// there yet and makes it: a destination is often a new folder.
class FolderChooser : public QFileDialog {
public:
    FolderChooser(QWidget* owner, const QString& title, const QString& start)
        : QFileDialog(owner, title, start) {
        setFileMode(QFileDialog::Directory);
        setOptions(QFileDialog::ShowDirsOnly | QFileDialog::DontUseNativeDialog);
        // The chooser greys its button for a name it cannot find; a typed
        // name is a folder to make.
        if (auto* edit = findChild<QLineEdit*>()) {
            connect(edit, &QLineEdit::textChanged, this, [this](const QString& text) {
                if (QPushButton* choose = ChooseButton(); choose && !text.trimmed().isEmpty())
                    choose->setEnabled(true);
            });
        }
    }

    void accept() override {
        // Made by its bytes: the parts that exist keep theirs.
        const QStringList chosen = selectedFiles();
        if (!chosen.isEmpty()) {
            std::error_code error;
            std::filesystem::create_directories(EncodeLocal(LocalPath(chosen.first())), error);
        }
        QFileDialog::accept();
    }

private:
    QPushButton* ChooseButton() const {
        auto* buttons = findChild<QDialogButtonBox*>();
        return buttons ? buttons->button(QDialogButtonBox::Open) : nullptr;
    }
};

} // namespace

std::optional<std::wstring> BrowseForFolder(QWidget* owner, const QString& title,
                                            const QString& start) {
    if (g_folderBrowserHook)
        return g_folderBrowserHook(title);
    QString folder = start;
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        folder = QDir::homePath();
    FolderChooser chooser(owner, title, folder);
    if (chooser.exec() != QDialog::Accepted || chooser.selectedFiles().isEmpty())
        return std::nullopt;
    return LocalPath(QDir::cleanPath(chooser.selectedFiles().first()));
}

FolderBrowserHook SetFolderBrowserHook(FolderBrowserHook hook) {
    return std::exchange(g_folderBrowserHook, std::move(hook));
}

} // namespace platform

#include "workflow/gui/password_dialog.h"

#include "platform/message_box.h"
#include "platform/qt/local_path_qt.h"
#include "res/resource_ids.h"
#include "res/resources.h"
#include "workflow/repair_state.h"

#include <QCheckBox>
#include <QLineEdit>

CPasswordDlg::CPasswordDlg(const std::wstring& archive, QWidget* parent)
    : CDialog(res::Dialog(res::IDD_PASSWORD), parent), m_archive(archive) {
    SetCommandHandler(res::IDC_PASSWORD_SHOW, [this] {
        GetDlgItemAs<QLineEdit>(res::IDC_PASSWORD_EDIT)
            ->setEchoMode(IsDlgButtonChecked(res::IDC_PASSWORD_SHOW) ? QLineEdit::Normal
                                                                     : QLineEdit::Password);
    });
}

CPasswordDlg::~CPasswordDlg() {
    ClearEdit();
}

bool CPasswordDlg::OnInitDialog() {
    setWindowTitle(QString::fromStdWString(g_appTitle));
    LoadSkin(QString::fromStdWString(g_appFolder) + QStringLiteral("/Skin2.bmp"));
    SetDlgItemText(res::IDC_PASSWORD_ARCHIVE, platform::ShownText(m_archive));
    CheckDlgButton(res::IDC_PASSWORD_FOR_ALL, m_forAll);
    GetDlgItem(res::IDC_PASSWORD_EDIT)->setFocus();
    return true;
}

bool CPasswordDlg::Ask(Password& answer, bool& forAll) {
    m_answer.Clear();
    if (DoModal() != platform::IDOK)
        return false;
    answer = std::move(m_answer);
    forAll = m_forAll;
    return true;
}

void CPasswordDlg::OnOK() {
    auto* edit = GetDlgItemAs<QLineEdit>(res::IDC_PASSWORD_EDIT);
    // An empty password opens nothing: OK waits for one.
    if (edit->text().isEmpty())
        return;
    QByteArray bytes = edit->text().toUtf8();
    m_answer =
        Password(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
    WipeBytes(bytes.data(), static_cast<std::size_t>(bytes.size()));
    m_forAll = IsDlgButtonChecked(res::IDC_PASSWORD_FOR_ALL);
    ClearEdit();
    EndDialog(platform::IDOK);
}

void CPasswordDlg::OnCancel() {
    ClearEdit();
    EndDialog(platform::IDCANCEL);
}

void CPasswordDlg::ClearEdit() {
    if (auto* edit = GetDlgItemAs<QLineEdit>(res::IDC_PASSWORD_EDIT)) {
        // Qt keeps the text in its own strings; clearing is all it allows.
        edit->clear();
        edit->setEchoMode(QLineEdit::Password);
    }
    if (GetDlgItem(res::IDC_PASSWORD_SHOW) != nullptr)
        CheckDlgButton(res::IDC_PASSWORD_SHOW, false);
}

bool AskPasswordOnDesktop(QWidget* owner, const std::wstring& archive, bool again, Password& answer,
                          bool& forAll, bool* skipped) {
    if (skipped != nullptr)
        *skipped = false;
    if (again) {
        const std::wstring text = L"The password does not fit \"" + archive +
                                  L"\".\r\nDo you want to try another password? No leaves its "
                                  L"encrypted files unsaved.";
        if (platform::MessageBox(owner, text, g_appTitle,
                                 platform::MB_YESNO | platform::MB_ICONQUESTION) != platform::IDYES)
            return false;
    }
    CPasswordDlg dialog(archive, owner);
    const bool given = dialog.Ask(answer, forAll);
    if (skipped != nullptr)
        *skipped = !given;
    return given;
}

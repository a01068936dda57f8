// CPasswordDlg: asks for the password of an archive's encrypted entries
// before the saving pass saves them. The text is masked unless Show is
// ticked; "Use for all archives of this run" (ticked at first) keeps the
// password for the archives after this one. Skip leaves the entries unsaved.
#pragma once

#include "engine/password.h"
#include "platform/qt/dialog_qt.h"

#include <string>

class CPasswordDlg : public platform::CDialog {
public:
    explicit CPasswordDlg(const std::wstring& archive, QWidget* parent = nullptr);
    ~CPasswordDlg() override;

    // Runs the dialog; false when the user skips.
    bool Ask(Password& answer, bool& forAll);

protected:
    bool OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;

private:
    void ClearEdit();

    std::wstring m_archive;
    Password m_answer;
    bool m_forAll = true;
};

// The saving pass's question on the desktop: after a password that did not
// fit (`again`), a message box first asks whether to try another; then the
// dialog. False leaves the archive's encrypted entries unsaved; `skipped`
// then says whether the dialog's Skip did so.
bool AskPasswordOnDesktop(QWidget* owner, const std::wstring& archive, bool again, Password& answer,
                          bool& forAll, bool* skipped = nullptr);

#include "log/gui/view_log_dialog.h"

#include "identity/app_question.h"
#include "log/banners.h"
#include "log/open_activity_log.h"
#include "platform/process.h"
#include "res/resource_ids.h"
#include "res/resources.h"
#include "workflow/repair_state.h"
#include "workflow/save_summary.h"

#include <QGroupBox>
#include <QLabel>
#include <algorithm>

namespace {

// The widest the dialog grows, in dialog units: the width of the skin,
// which covers the largest secondary dialog.
constexpr int kMaxWidth = 340;
// The template's text line and the dialog's size around it.
constexpr int kTextX = 18;
constexpr int kTextY = 20;
constexpr int kTextHeight = 8;

} // namespace

CViewLog::CViewLog(PassTotals totals, QWidget* parent)
    : CDialog(res::Dialog(res::IDD_VIEWLOG), parent), m_totals(std::move(totals)) {
    SetCommandHandler(res::IDC_VIEW_LOG_OK, [this] { OnViewLogOk(); });
}

bool CViewLog::OnInitDialog() {
    LoadSkin(QString::fromStdWString(g_appFolder) + QStringLiteral("/Skin2.bmp"));
    setWindowTitle(QString::fromStdWString(g_appTitle));
    CheckDlgButton(res::IDC_VIEW_LOG_CHECK, false);
    CheckDlgButton(res::IDC_OPEN_FOLDER_CHECK, false);
    QStringList lines;
    for (const std::wstring& line : CompletionLines(m_totals))
        lines << QString::fromStdWString(line);
    FitText(lines.join(QLatin1Char('\n')));
    GetDlgItem(res::IDC_OPEN_FOLDER_CHECK)->setEnabled(!m_totals.repairFolder.empty());
    // Successful only when every entry was saved and verified.
    if (m_totals.Clean())
        WriteCompletionBanner();
    else
        WriteProblemsBanner();
    return true;
}

void CViewLog::FitText(const QString& text) {
    auto* label = GetDlgItemAs<QLabel>(res::IDC_COMPLETION_TEXT);
    if (label == nullptr)
        return;
    label->setText(text);
    label->setWordWrap(true);
    const QFontMetrics metrics(label->font());
    const QRect templateText = MapDialogRect(QRect(kTextX, kTextY, 150, kTextHeight));
    const int widest = MapDialogRect(QRect(0, 0, kMaxWidth - 2 * kTextX, 0)).width();
    const int needed =
        std::min(widest, metrics.boundingRect(QRect(0, 0, widest, 10000), 0, text).width() + 2);
    const int width = std::max(templateText.width(), needed);
    const int height =
        std::max(templateText.height(),
                 metrics.boundingRect(QRect(0, 0, width, 10000), Qt::TextWordWrap, text).height());
    label->setGeometry(templateText.x(), templateText.y(), width, height);

    // Everything below the text moves down by what it needs more, and the
    // frame, the button and the dialog widen with it.
    const int down = height - templateText.height();
    const int wider = width - templateText.width();
    if (down <= 0 && wider <= 0)
        return;
    const int extraWidth = std::max(0, wider);
    for (QWidget* child : Client()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (child == label)
            continue;
        QRect box = child->geometry();
        if (qobject_cast<QGroupBox*>(child)) {
            box.setWidth(box.width() + extraWidth);
            box.setHeight(box.height() + down);
        } else if (child == GetDlgItem(res::IDC_VIEW_LOG_OK)) {
            box.translate(extraWidth / 2, down);
        } else {
            box.translate(0, down);
        }
        child->setGeometry(box);
    }
    Client()->setFixedSize(Client()->width() + extraWidth, Client()->height() + down);
    adjustSize();
}

void CViewLog::OnViewLogOk() {
    const bool viewLog = IsDlgButtonChecked(res::IDC_VIEW_LOG_CHECK);
    QWidget* const owner = this;
    if (IsDlgButtonChecked(res::IDC_OPEN_FOLDER_CHECK))
        OpenOrSayWhere(owner, m_totals.repairFolder);
    if (viewLog)
        OpenActivityLogInNotepad(owner);
    else
        EndDialog(platform::IDOK);
    platform::EndProcess(0);
    // Still here: the process could not be ended. A dialog left open would
    // offer nothing more to do.
    EndDialog(platform::IDOK);
}

void CViewLog::OnClose() {
    platform::EndProcess(0);
    EndDialog(platform::IDCANCEL);
}

bool CViewLog::PreTranslateMessage(QObject*, QEvent* event) {
    if (platform::PressedKey(event) != Qt::Key_Escape)
        return false;
    if (!AskUser(static_cast<QWidget*>(this),
                 L" Saving Process is in running, Do you want to exit ? "))
        return true;
    platform::EndProcess(0);
    // The process could not be ended: the key goes on to the dialog.
    return false;
}

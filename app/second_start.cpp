#include "app/second_start.h"

#include "app/single_instance.h"
#include "platform/message_box.h"
#include "platform/qt/local_path_qt.h"
#include "workflow/repair_state.h"

std::chrono::milliseconds g_secondStartPatience{10000};

bool HandOverToRunningInstance(const QStringList& archives, std::chrono::milliseconds patience) {
    const std::optional<CSingleInstance::Answer> answer =
        CSingleInstance::Forward(archives, patience);
    const unsigned notice =
        platform::MB_OK | platform::MB_ICONINFORMATION | platform::MB_SYSTEMMODAL;
    if (!answer)
        return false;
    switch (*answer) {
    case CSingleInstance::Answer::Added:
        break;
    case CSingleInstance::Answer::Unanswered:
        platform::MessageBox(nullptr, L"Kelvane for Zip is already running", g_appTitle, notice);
        break;
    case CSingleInstance::Answer::Busy: {
        const std::wstring text =
            L"Kelvane for Zip is busy with a repair, so these archives were not added:\n\n" +
            platform::PathFromQString(archives.join(u'\n')) +
            L"\n\nOpen them again when it is back at step 1.";
        platform::MessageBox(nullptr, text, g_appTitle, notice);
        break;
    }
    }
    return true;
}

#include "log/activity_log.h"

#include "identity/app_identity.h"
#include "platform/message_box.h"
#include "platform/text.h"

#include <unistd.h>

void ClearActivityLog(platform::WindowHandle owner) {
    const int answer = platform::MessageBox(owner, L"Do you want to clear Log File?", g_appTitle,
                                            platform::MB_YESNO | platform::MB_ICONQUESTION |
                                                platform::MB_SYSTEMMODAL);
    if (answer != platform::IDYES)
        return;
    // The file the writer uses, so the log being written is the one cleared.
    // A failure (a read-only folder, say) is ignored like every log failure.
    ::unlink(platform::EncodeLocal(ResolveActivityLogPath()).c_str());
    WriteActivityLog(L"\r\n");
}

#include "log/activity_log.h"

#include "identity/app_question.h"
#include "platform/text.h"

#include <unistd.h>

void ClearActivityLog(platform::WindowHandle owner) {
    if (!AskUser(owner, L"Do you want to clear Log File?"))
        return;
    // The file the writer uses, so the log being written is the one cleared.
    // A failure (a read-only folder, say) is ignored like every log failure.
    ::unlink(platform::EncodeLocal(ResolveActivityLogPath()).c_str());
    WriteActivityLog(L"\r\n");
}

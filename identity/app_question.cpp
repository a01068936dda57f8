#include "identity/app_question.h"

#include "identity/app_identity.h"

bool AskUser(platform::WindowHandle owner, const std::wstring& text) {
    return platform::MessageBox(owner, text, g_appTitle,
                                platform::MB_YESNO | platform::MB_ICONQUESTION |
                                    platform::MB_SYSTEMMODAL) == platform::IDYES;
}

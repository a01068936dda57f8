#include "cli/console_message_box.h"

#include "platform/text.h"

#include <cstdio>
#include <iostream>
#include <string>

bool AskYesNoOnTerminal(const std::wstring& question) {
    for (;;) {
        std::fprintf(stderr, "%s [y/n] ", platform::EncodeLocal(question).c_str());
        std::fflush(stderr);
        std::string line;
        if (!std::getline(std::cin, line))
            return false;
        if (line == "y" || line == "Y" || line == "yes")
            return true;
        if (line == "n" || line == "N" || line == "no")
            return false;
    }
}

ConsoleMessageBoxes::ConsoleMessageBoxes(std::function<bool(const std::wstring& text)> answer) {
    m_previous = platform::SetMessageBoxHandler(
        [answer = std::move(answer)](void*, const std::wstring& text, const std::wstring&,
                                     unsigned style) {
            if ((style & platform::MB_YESNO) == platform::MB_YESNO)
                return answer(text) ? platform::IDYES : platform::IDNO;
            std::fprintf(stderr, "kvzip: %s\n", platform::EncodeLocal(text).c_str());
            return platform::IDOK;
        });
}

ConsoleMessageBoxes::~ConsoleMessageBoxes() {
    platform::SetMessageBoxHandler(m_previous);
}

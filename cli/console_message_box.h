// Message boxes on the terminal: notices go to stderr, questions are
// answered by the command's policy or asked on the terminal.
#pragma once

#include "platform/message_box.h"

#include <functional>

// Asks `question` on the terminal until it gets y or n; false (No) at the end
// of input.
bool AskYesNoOnTerminal(const std::wstring& question);

// Installs a handler that prints notices and answers Yes/No questions with
// `answer(text)`; restores the previous handler when it goes.
class ConsoleMessageBoxes {
public:
    explicit ConsoleMessageBoxes(std::function<bool(const std::wstring& text)> answer);
    ConsoleMessageBoxes(const ConsoleMessageBoxes&) = delete;
    ConsoleMessageBoxes& operator=(const ConsoleMessageBoxes&) = delete;
    ~ConsoleMessageBoxes();

private:
    platform::MessageBoxHandler m_previous;
};

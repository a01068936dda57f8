// A message box handler for tests: answers from a script, in order, and
// records every box that was asked. Installed for its lifetime.
#pragma once

#include "platform/message_box.h"

#include <deque>
#include <initializer_list>
#include <mutex>
#include <string>
#include <vector>

class ScriptedMessageBox {
public:
    struct Asked {
        std::wstring text;
        std::wstring caption;
        unsigned style;
        void* owner;
    };

    explicit ScriptedMessageBox(std::initializer_list<int> answers = {});
    ~ScriptedMessageBox();
    ScriptedMessageBox(const ScriptedMessageBox&) = delete;
    ScriptedMessageBox& operator=(const ScriptedMessageBox&) = delete;

    // Adds answers at the end of the script.
    void Answer(std::initializer_list<int> answers);

    // Every box asked so far, oldest first.
    std::vector<Asked> AskedBoxes() const;
    std::vector<std::wstring> AskedTexts() const;
    // Boxes asked after the script had run out; they got the default answer.
    int Unscripted() const;

private:
    int Ask(void* owner, const std::wstring& text, const std::wstring& caption, unsigned style);

    mutable std::mutex m_lock;
    std::deque<int> m_answers;
    std::vector<Asked> m_asked;
    int m_unscripted = 0;
    platform::MessageBoxHandler m_previous;
};

#include "tests/support/scripted_message_box.h"

ScriptedMessageBox::ScriptedMessageBox(std::initializer_list<int> answers) : m_answers(answers) {
    m_previous = platform::SetMessageBoxHandler(
        [this](void* owner, const std::wstring& text, const std::wstring& caption, unsigned style) {
            return Ask(owner, text, caption, style);
        });
}

ScriptedMessageBox::~ScriptedMessageBox() {
    platform::SetMessageBoxHandler(std::move(m_previous));
}

void ScriptedMessageBox::Answer(std::initializer_list<int> answers) {
    std::lock_guard<std::mutex> lock(m_lock);
    m_answers.insert(m_answers.end(), answers);
}

std::vector<ScriptedMessageBox::Asked> ScriptedMessageBox::AskedBoxes() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_asked;
}

std::vector<std::wstring> ScriptedMessageBox::AskedTexts() const {
    std::lock_guard<std::mutex> lock(m_lock);
    std::vector<std::wstring> texts;
    for (const Asked& box : m_asked)
        texts.push_back(box.text);
    return texts;
}

int ScriptedMessageBox::Unscripted() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_unscripted;
}

int ScriptedMessageBox::Ask(void* owner, const std::wstring& text, const std::wstring& caption,
                            unsigned style) {
    std::lock_guard<std::mutex> lock(m_lock);
    m_asked.push_back({text, caption, style, owner});
    if (m_answers.empty()) {
        // Out of script: the same safe default as with no handler at all.
        ++m_unscripted;
        return (style & platform::MB_YESNO) == platform::MB_YESNO ? platform::IDNO : platform::IDOK;
    }
    const int answer = m_answers.front();
    m_answers.pop_front();
    return answer;
}

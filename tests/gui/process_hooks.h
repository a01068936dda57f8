// Records the process ends and the shell opens that a dialog asks for,
// instead of ending the test or starting an editor. Installed for its
// lifetime.
#pragma once

#include "platform/process.h"

#include <mutex>
#include <string>
#include <vector>

class ProcessHooks {
public:
    ProcessHooks() {
        m_previousEnd = platform::SetEndProcessHook([this](int code) {
            std::lock_guard<std::mutex> lock(m_lock);
            m_ends.push_back(code);
        });
        m_previousOpen = platform::SetShellOpenHook([this](const std::wstring& target) {
            std::lock_guard<std::mutex> lock(m_lock);
            m_opened.push_back(target);
            return true;
        });
    }
    ~ProcessHooks() {
        platform::SetEndProcessHook(m_previousEnd);
        platform::SetShellOpenHook(m_previousOpen);
    }
    ProcessHooks(const ProcessHooks&) = delete;
    ProcessHooks& operator=(const ProcessHooks&) = delete;

    std::vector<int> Ends() const {
        std::lock_guard<std::mutex> lock(m_lock);
        return m_ends;
    }
    std::vector<std::wstring> Opened() const {
        std::lock_guard<std::mutex> lock(m_lock);
        return m_opened;
    }

private:
    mutable std::mutex m_lock;
    std::vector<int> m_ends;
    std::vector<std::wstring> m_opened;
    platform::EndProcessHook m_previousEnd;
    platform::ShellOpenHook m_previousOpen;
};

// A program-wide dialog object. Widgets can exist only while the
// QApplication does, so the start-up makes each one here after the
// application object and the global pointer names it until the owner goes.
#pragma once

#include <memory>

namespace platform {

template <class Dialog> class GlobalDialog {
public:
    explicit GlobalDialog(Dialog*& pointer)
        : m_pointer(pointer), m_dialog(std::make_unique<Dialog>()) {
        m_pointer = m_dialog.get();
    }
    ~GlobalDialog() { m_pointer = nullptr; }
    GlobalDialog(const GlobalDialog&) = delete;
    GlobalDialog& operator=(const GlobalDialog&) = delete;

    Dialog& operator*() const { return *m_dialog; }
    Dialog* operator->() const { return m_dialog.get(); }

private:
    Dialog*& m_pointer;
    std::unique_ptr<Dialog> m_dialog;
};

} // namespace platform

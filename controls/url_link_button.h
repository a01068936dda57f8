// CURLLinkButton: a button drawn as a hyperlink that opens its address with
// the desktop's default application.
#pragma once

#include "platform/qt/colour_qt.h"

#include <QCursor>
#include <QFont>
#include <QPushButton>
#include <functional>
#include <memory>
#include <string>

// The hand shown over every link button; made by the first one, kept for the
// whole process.
extern QCursor* g_linkHandCursor;

class CURLLinkButton : public QPushButton {
    Q_OBJECT

public:
    // Opens an address; its result is not looked at.
    using LinkOpener = std::function<bool(const std::wstring&)>;

    explicit CURLLinkButton(QWidget* parent = nullptr);
    ~CURLLinkButton() override;

    // Replaces the opener of every link button (platform::ShellOpen, which
    // the GUI routes to QtShellOpen) and returns the one it replaces.
    static LinkOpener SetOpener(LinkOpener opener);

    void OpenLink();

    platform::COLORREF m_linkColour;
    platform::COLORREF m_hoverColour;
    platform::COLORREF m_visitedColour;
    platform::COLORREF m_disabledColour;
    bool m_hovering = false;
    bool m_tracking = false;
    bool m_visited = false;
    std::wstring m_url;       // empty: the caption is the address
    std::wstring m_urlPrefix; // put in front of the address when opening

    // The colour the caption is drawn in now.
    platform::COLORREF CurrentColour() const;
    const QFont* LinkFont() const { return m_linkFont.get(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    std::unique_ptr<QFont> m_linkFont;
    bool m_enterDown = false;
};

#include "controls/url_link_button.h"

#include "platform/process.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QPalette>

using platform::COLORREF;
using platform::FromQColor;
using platform::ToQColor;

QCursor* g_linkHandCursor = nullptr;

namespace {
CURLLinkButton::LinkOpener& Opener() {
    static CURLLinkButton::LinkOpener opener = &platform::ShellOpen;
    return opener;
}

bool IsEnter(int key) {
    return key == Qt::Key_Return || key == Qt::Key_Enter;
}
} // namespace

CURLLinkButton::CURLLinkButton(QWidget* parent)
    : QPushButton(parent), m_linkColour(FromQColor(palette().color(QPalette::Highlight))),
      // A brighter link blue under the pointer: the link shows it is live
      // without changing its shape.
      m_hoverColour(FromQColor(palette().color(QPalette::Link).lighter(130))),
      m_visitedColour(platform::RGB(128, 0, 128)),
      m_disabledColour(FromQColor(palette().color(QPalette::Disabled, QPalette::WindowText))) {
    if (g_linkHandCursor == nullptr)
        g_linkHandCursor = new QCursor(Qt::PointingHandCursor);
    setCursor(*g_linkHandCursor);
    // Drawn as a link: never the default button, no bevel.
    setAutoDefault(false);
    setDefault(false);
    setFlat(true);
    setAttribute(Qt::WA_Hover);
    connect(this, &QPushButton::clicked, this, &CURLLinkButton::OpenLink);
}

CURLLinkButton::~CURLLinkButton() = default;

CURLLinkButton::LinkOpener CURLLinkButton::SetOpener(LinkOpener opener) {
    return std::exchange(Opener(), std::move(opener));
}

COLORREF CURLLinkButton::CurrentColour() const {
    if (!isEnabled())
        return m_disabledColour;
    if (m_hovering)
        return m_hoverColour;
    return m_visited ? m_visitedColour : m_linkColour;
}

void CURLLinkButton::paintEvent(QPaintEvent*) {
    if (!m_linkFont) {
        m_linkFont = std::make_unique<QFont>(font());
        m_linkFont->setPixelSize(14);
        m_linkFont->setWeight(QFont::ExtraBold);
        m_linkFont->setUnderline(true);
    }
    QPainter painter(this);
    painter.setFont(isEnabled() ? *m_linkFont : font());
    painter.setPen(ToQColor(CurrentColour()));
    painter.drawText(rect(), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, text());
}

void CURLLinkButton::enterEvent(QEnterEvent* event) {
    m_tracking = true;
    m_hovering = true;
    update();
    QPushButton::enterEvent(event);
}

void CURLLinkButton::leaveEvent(QEvent* event) {
    m_tracking = false;
    m_hovering = false;
    update();
    QPushButton::leaveEvent(event);
}

void CURLLinkButton::focusOutEvent(QFocusEvent* event) {
    QPushButton::focusOutEvent(event);
    update();
}

void CURLLinkButton::OpenLink() {
    if (!isEnabled())
        return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const std::wstring target = m_url.empty() ? text().toStdWString() : m_url;
    if (const LinkOpener& opener = Opener())
        opener(m_urlPrefix + target);
    m_visited = true;
    m_hovering = false;
    update();
    QApplication::restoreOverrideCursor();
}

// Only Enter opens the link from the keyboard, once per press: Space is
// swallowed, and the repeats of a held key open nothing more.
void CURLLinkButton::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Space || IsEnter(event->key())) {
        m_enterDown = true;
        event->accept();
        return;
    }
    m_enterDown = false;
    QPushButton::keyPressEvent(event);
}

void CURLLinkButton::keyReleaseEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Space) {
        event->accept();
        return;
    }
    if (IsEnter(event->key())) {
        event->accept();
        if (m_enterDown && !event->isAutoRepeat()) {
            m_enterDown = false;
            OpenLink();
        }
        return;
    }
    m_enterDown = false;
    QPushButton::keyReleaseEvent(event);
}

#include "controls/text_progress_ctrl.h"

#include "controls/mem_dc.h"

#include <QPainter>
#include <QPalette>
#include <utility>

using platform::CLR_DEFAULT;
using platform::COLORREF;
using platform::ToQColor;

CTextProgressCtrl::CTextProgressCtrl(QWidget* parent) : QWidget(parent) {
    // The paint covers the whole client area: no background erase.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

bool CTextProgressCtrl::HasWindow() const {
    return parentWidget() != nullptr || testAttribute(Qt::WA_WState_Created);
}

int CTextProgressCtrl::SetRange(unsigned short low, unsigned short high) {
    m_rangeLow = low;
    m_rangeHigh = high;
    return 0;
}

int CTextProgressCtrl::SetRange32(int low, int high) {
    m_rangeLow = low;
    m_rangeHigh = high;
    return 0;
}

int CTextProgressCtrl::GetRange(bool low, Range* range) const {
    if (range != nullptr) {
        range->low = m_rangeLow;
        range->high = m_rangeHigh;
    }
    return low ? m_rangeLow : m_rangeHigh;
}

int CTextProgressCtrl::FilledWidth() const {
    if (m_rangeHigh == m_rangeLow)
        return 0;
    const double fraction = (static_cast<double>(m_position) - m_rangeLow) /
                            (static_cast<double>(m_rangeHigh) - m_rangeLow);
    return static_cast<int>(fraction * width());
}

QString CTextProgressCtrl::DisplayText() const {
    if (!m_text.isEmpty())
        return m_text;
    const long long span = static_cast<long long>(m_rangeHigh) - m_rangeLow;
    const long long percent =
        span <= 0 ? 0 : (static_cast<long long>(m_position) - m_rangeLow) * 100 / span;
    return QStringLiteral("%1 %").arg(percent);
}

int CTextProgressCtrl::SetPos(int position) {
    if (!HasWindow())
        return -1;
    const int old = std::exchange(m_position, position);
    const int filled = FilledWidth();
    // Only a change of at least one pixel is worth a paint.
    if (filled != m_lastBarWidth) {
        m_lastBarWidth = filled;
        repaint();
    }
    return old;
}

int CTextProgressCtrl::DeltaPos(int amount) {
    return SetPos(m_position + amount);
}

int CTextProgressCtrl::StepIt() {
    return SetPos(m_position + m_step);
}

int CTextProgressCtrl::SetStep(int step) {
    return std::exchange(m_step, step);
}

void CTextProgressCtrl::Invalidate() {
    if (HasWindow())
        update();
}

COLORREF CTextProgressCtrl::SetBarColor(COLORREF colour) {
    Invalidate();
    return std::exchange(m_barColour, colour);
}

COLORREF CTextProgressCtrl::SetBkColor(COLORREF colour) {
    Invalidate();
    return std::exchange(m_backColour, colour);
}

COLORREF CTextProgressCtrl::SetTextColour(COLORREF colour) {
    Invalidate();
    return std::exchange(m_textColour, colour);
}

int CTextProgressCtrl::ShowText(bool show) {
    if (HasWindow() && show != m_showText)
        update();
    m_showText = show;
    return 0;
}

void CTextProgressCtrl::SetWindowText(const QString& text) {
    m_text = text;
    Invalidate();
}

void CTextProgressCtrl::SetVertical(bool vertical) {
    m_vertical = vertical;
    Invalidate();
}

void CTextProgressCtrl::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    m_lastBarWidth = -1;
}

void CTextProgressCtrl::paintEvent(QPaintEvent*) {
    QPainter target(this);
    // An empty or inverted range draws nothing at all.
    if (m_rangeLow >= m_rangeHigh)
        return;
    const QColor bar =
        m_barColour == CLR_DEFAULT ? palette().color(QPalette::Highlight) : ToQColor(m_barColour);
    const QColor back =
        m_backColour == CLR_DEFAULT ? palette().color(QPalette::Base) : ToQColor(m_backColour);
    const double fraction = (static_cast<double>(m_position) - m_rangeLow) /
                            (static_cast<double>(m_rangeHigh) - m_rangeLow);

    target.setClipRect(rect());
    CMemDC memory(target);
    QPainter& painter = memory.Painter();
    if (parentWidget() != nullptr)
        painter.setFont(parentWidget()->font());

    // Rectangles as exclusive edges: filled [left, split), empty [split, right).
    const int left = 0, top = 0, right = width(), bottom = height();
    QRect filled, empty;
    if (m_vertical) {
        const int split = bottom - static_cast<int>((bottom - top) * fraction);
        filled = QRect(QPoint(left, split), QPoint(right - 1, bottom - 1));
        empty = QRect(QPoint(left, top), QPoint(right - 1, split - 1));
    } else {
        const int split = left + static_cast<int>((right - left) * fraction);
        filled = QRect(QPoint(left, top), QPoint(split - 1, bottom - 1));
        empty = QRect(QPoint(split, top), QPoint(right - 1, bottom - 1));
    }
    painter.fillRect(filled, bar);
    painter.fillRect(empty, back);

    if (m_showText && !m_vertical) {
        const QString text = DisplayText();
        const int flags = Qt::AlignHCenter | Qt::AlignVCenter | Qt::TextSingleLine;
        painter.save();
        painter.setClipRect(filled);
        painter.setPen(m_textColour == CLR_DEFAULT ? back : ToQColor(m_textColour));
        painter.drawText(rect(), flags, text);
        painter.setClipRect(empty);
        painter.setPen(m_textColour == CLR_DEFAULT ? bar : ToQColor(m_textColour));
        painter.drawText(rect(), flags, text);
        painter.restore();
    }
}

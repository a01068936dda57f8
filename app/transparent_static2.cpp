#include "app/transparent_static2.h"

#include <QPainter>

CTransparentStatic2::CTransparentStatic2(QWidget* parent) : CElidedLabel(parent) {
    setAutoFillBackground(false);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void CTransparentStatic2::paintEvent(QPaintEvent* event) {
    if (m_backgroundSnapshot.isNull()) {
        // The parent's own background only: no children, so not this label.
        if (QWidget* parent = parentWidget()) {
            m_backgroundSnapshot = QPixmap(size() * devicePixelRatioF());
            m_backgroundSnapshot.setDevicePixelRatio(devicePixelRatioF());
            m_backgroundSnapshot.fill(parent->palette().color(parent->backgroundRole()));
            parent->render(&m_backgroundSnapshot, QPoint(), QRegion(geometry()),
                           QWidget::DrawWindowBackground);
        }
    }
    if (!m_backgroundSnapshot.isNull()) {
        QPainter painter(this);
        painter.drawPixmap(0, 0, m_backgroundSnapshot);
    }
    CElidedLabel::paintEvent(event);
}

void CTransparentStatic2::SetWindowText(const QString& text) {
    setText(text);
    repaint();
}

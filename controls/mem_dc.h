// CMemDC: draws off-screen and copies the picture to its target when it
// goes out of scope, so that a control never shows half a paint. On a
// printer it draws straight onto the target.
#pragma once

#include <QPainter>
#include <QPixmap>
#include <QRect>
#include <memory>

class CMemDC {
public:
    // Covers `target`'s clip box, or the whole device when it has no clip.
    explicit CMemDC(QPainter& target);
    ~CMemDC();
    CMemDC(const CMemDC&) = delete;
    CMemDC& operator=(const CMemDC&) = delete;

    // Draw here in the target's coordinates.
    QPainter& Painter() { return m_offScreen ? *m_memory : *m_target; }
    QPainter* operator->() { return &Painter(); }

    bool IsOffScreen() const { return m_offScreen; }
    const QRect& Rect() const { return m_rect; }

private:
    QPainter* m_target;
    QRect m_rect;
    bool m_offScreen;
    QPixmap m_bitmap;
    std::unique_ptr<QPainter> m_memory;
};

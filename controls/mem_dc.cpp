#include "controls/mem_dc.h"

#include <QPaintDevice>

CMemDC::CMemDC(QPainter& target)
    : m_target(&target),
      m_offScreen(target.device() != nullptr && target.device()->devType() != QInternal::Printer) {
    if (!m_offScreen)
        return;
    QPaintDevice* device = target.device();
    m_rect = target.hasClipping() ? target.clipBoundingRect().toAlignedRect()
                                  : QRect(0, 0, device->width(), device->height());
    const qreal ratio = device->devicePixelRatioF();
    m_bitmap = QPixmap(m_rect.size() * ratio);
    m_bitmap.setDevicePixelRatio(ratio);
    m_bitmap.fill(Qt::transparent);
    m_memory = std::make_unique<QPainter>(&m_bitmap);
    m_memory->setFont(target.font());
    m_memory->translate(-m_rect.topLeft());
}

CMemDC::~CMemDC() {
    if (!m_offScreen)
        return;
    m_memory->end();
    m_target->drawPixmap(m_rect.topLeft(), m_bitmap);
}

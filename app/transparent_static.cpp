#include "app/transparent_static.h"

CTransparentStatic::CTransparentStatic(QWidget* parent) : CElidedLabel(parent) {
    setAutoFillBackground(false);
    setAttribute(Qt::WA_NoSystemBackground);
}

void CTransparentStatic::SetWindowText(const QString& text) {
    setText(text);
    if (QWidget* parent = parentWidget())
        parent->repaint(geometry());
}

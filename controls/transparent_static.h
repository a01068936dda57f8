// CTransparentStatic: a label that lets the dialog's skin show through; on a
// text change the parent repaints what lies under it first, so no trace of
// the old text stays behind.
#pragma once

#include "controls/elided_label.h"
#include "platform/qt/dialog_qt.h"

class CTransparentStatic : public CElidedLabel, public platform::IWindowText {
    Q_OBJECT

public:
    explicit CTransparentStatic(QWidget* parent = nullptr);
    void SetWindowText(const QString& text) override;
};

// CTransparentStatic2: a label over the skin that keeps a snapshot of the
// parent's background under it, taken at its first paint, and redraws that
// snapshot under every new text.
#pragma once

#include "controls/elided_label.h"
#include "platform/qt/dialog_qt.h"

#include <QPixmap>

class CTransparentStatic2 : public CElidedLabel, public platform::IWindowText {
    Q_OBJECT

public:
    explicit CTransparentStatic2(QWidget* parent = nullptr);
    void SetWindowText(const QString& text) override;
    bool HasSnapshot() const { return !m_backgroundSnapshot.isNull(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPixmap m_backgroundSnapshot;
};

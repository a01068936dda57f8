// A one-line label that shortens a text too long for it in the middle, so a
// path keeps its start and its file name, and shows the whole text as its
// tip. text() stays the whole text.
#pragma once

#include <QLabel>

class CElidedLabel : public QLabel {
    Q_OBJECT

public:
    using QLabel::QLabel;

    // What the label shows: text() itself when it fits.
    QString DisplayedText() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;

private:
    // Plain one-line text: rich text, pictures and wrapped text are QLabel's.
    bool IsOneLine() const;
    QRect TextArea() const;
};

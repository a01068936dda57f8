#include "app/elided_label.h"

#include <QHelpEvent>
#include <QPainter>
#include <QStyle>
#include <QToolTip>

bool CElidedLabel::IsOneLine() const {
    return !wordWrap() && textFormat() != Qt::RichText && !Qt::mightBeRichText(text()) &&
           !text().contains(u'\n') && pixmap().isNull();
}

QRect CElidedLabel::TextArea() const {
    return contentsRect().adjusted(margin(), margin(), -margin(), -margin());
}

QString CElidedLabel::DisplayedText() const {
    if (!IsOneLine())
        return text();
    return fontMetrics().elidedText(text(), Qt::ElideMiddle, TextArea().width());
}

void CElidedLabel::paintEvent(QPaintEvent* event) {
    if (!IsOneLine()) {
        QLabel::paintEvent(event);
        return;
    }
    QPainter painter(this);
    drawFrame(&painter);
    style()->drawItemText(&painter, TextArea(),
                          int(QStyle::visualAlignment(layoutDirection(), alignment())), palette(),
                          isEnabled(), DisplayedText(), foregroundRole());
}

bool CElidedLabel::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip && toolTip().isEmpty()) {
        const auto* help = static_cast<QHelpEvent*>(event);
        if (DisplayedText() != text())
            QToolTip::showText(help->globalPos(), text(), this);
        else
            QToolTip::hideText();
        return true;
    }
    return QLabel::event(event);
}

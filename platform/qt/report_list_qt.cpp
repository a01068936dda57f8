#include "platform/qt/report_list_qt.h"

#include <QPainter>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QTreeView>

namespace platform {

namespace {

// Grid lines for a tree view, drawn as a table view draws its own: a line
// at the right and the bottom of every cell.
class GridLineDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    // Room for the lines, so that they never cross the text.
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        return QStyledItemDelegate::sizeHint(option, index) + QSize(0, 4);
    }

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyledItemDelegate::paint(painter, option, index);
        const QWidget* widget = option.widget;
        const QStyle* style = widget ? widget->style() : nullptr;
        const QColor grid = style ? QColor::fromRgba(static_cast<QRgb>(style->styleHint(
                                        QStyle::SH_Table_GridLineColor, &option, widget)))
                                  : QColor(Qt::lightGray);
        painter->save();
        painter->setPen(grid);
        painter->drawLine(option.rect.topRight(), option.rect.bottomRight());
        painter->drawLine(option.rect.bottomLeft(), option.rect.bottomRight());
        painter->restore();
    }
};

} // namespace

void ShowAsReportList(QAbstractItemView* view) {
    if (auto* table = qobject_cast<QTableView*>(view))
        table->setShowGrid(true);
    else if (qobject_cast<QTreeView*>(view))
        view->setItemDelegate(new GridLineDelegate(view));
    view->setTextElideMode(Qt::ElideMiddle);
    // Some desktop themes pale the selection of an inactive window until the
    // highlighted text no longer stands out: keep the active colours.
    QPalette palette = view->palette();
    for (const QPalette::ColorRole role : {QPalette::Highlight, QPalette::HighlightedText})
        palette.setColor(QPalette::Inactive, role, palette.color(QPalette::Active, role));
    view->setPalette(palette);
    // The style fills a scroll bar's thumb with the button colour, lighter
    // than its groove under a pale theme, so that it reads as a hole: a
    // darker thumb reads as the thing to drag.
    for (QScrollBar* bar : {view->verticalScrollBar(), view->horizontalScrollBar()}) {
        QPalette colours = bar->palette();
        colours.setColor(QPalette::Button, colours.color(QPalette::Mid));
        bar->setPalette(colours);
    }
}

} // namespace platform

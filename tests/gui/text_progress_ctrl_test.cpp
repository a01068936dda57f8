#include "controls/text_progress_ctrl.h"

#include <QApplication>
#include <QImage>
#include <QPixmap>
#include <cstdlib>
#include <gtest/gtest.h>

using platform::CLR_DEFAULT;
using platform::RGB;

namespace {

const QColor kBar(0, 0, 200);
const QColor kBack(240, 240, 240);

// A bar on a parent, shown, with plain colours that are easy to look for.
struct ShownBar {
    QWidget parent;
    CTextProgressCtrl* bar = new CTextProgressCtrl(&parent);
    int paints = 0;

    explicit ShownBar(int width = 200) {
        parent.resize(width + 20, 40);
        bar->setGeometry(10, 10, width, 20);
        bar->SetBarColor(RGB(0, 0, 200));
        bar->SetBkColor(RGB(240, 240, 240));
        parent.show();
        QApplication::processEvents();
        bar->installEventFilter(&counter);
        counter.paints = &paints;
    }
    QImage Shot() { return bar->grab().toImage(); }

    struct Counter : QObject {
        int* paints = nullptr;
        bool eventFilter(QObject*, QEvent* event) override {
            if (event->type() == QEvent::Paint)
                ++*paints;
            return false;
        }
    } counter;
};

int CountColour(const QImage& image, const QRect& area, const QColor& colour) {
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            count += std::abs(image.pixelColor(x, y).red() - colour.red()) +
                         std::abs(image.pixelColor(x, y).green() - colour.green()) +
                         std::abs(image.pixelColor(x, y).blue() - colour.blue()) <
                     90; // the cores of antialiased letters
    return count;
}

} // namespace

TEST(TextProgressCtrl, MessagesKeepTheirArgumentsAndResults) {
    QWidget parent;
    CTextProgressCtrl bar;
    EXPECT_EQ(bar.SetPos(10), -1); // no window yet: nothing changes
    EXPECT_EQ(bar.GetPos(), 0);
    bar.setParent(&parent);

    CTextProgressCtrl::Range range;
    EXPECT_EQ(bar.GetRange(false, &range), 100);
    EXPECT_EQ(range.low, 0);
    EXPECT_EQ(bar.SetRange(5, 65535), 0);
    EXPECT_EQ(bar.GetRange(true), 5);
    EXPECT_EQ(bar.GetRange(false), 65535);
    EXPECT_EQ(bar.SetRange32(-50, 50), 0);
    EXPECT_EQ(bar.GetRange(true, &range), -50);
    EXPECT_EQ(range.high, 50);

    EXPECT_EQ(bar.SetPos(7), 0);
    EXPECT_EQ(bar.DeltaPos(3), 7);
    EXPECT_EQ(bar.StepIt(), 10);
    EXPECT_EQ(bar.GetPos(), 11);
    EXPECT_EQ(bar.SetStep(5), 1);
    EXPECT_EQ(bar.StepIt(), 11);
    EXPECT_EQ(bar.GetPos(), 16);

    EXPECT_EQ(bar.SetBarColor(RGB(1, 2, 3)), CLR_DEFAULT);
    EXPECT_EQ(bar.SetBarColor(CLR_DEFAULT), RGB(1, 2, 3));
    EXPECT_EQ(bar.SetBkColor(RGB(4, 5, 6)), CLR_DEFAULT);
    EXPECT_EQ(bar.SetTextColour(RGB(7, 8, 9)), CLR_DEFAULT);
    EXPECT_EQ(bar.ShowText(false), 0);
}

TEST(TextProgressCtrl, PercentTextIsTheWholePercentOfThePosition) {
    QWidget window;
    CTextProgressCtrl& bar = *new CTextProgressCtrl(&window);
    for (int position : {0, 29, 57, 58, 99, 100}) {
        bar.SetRange32(0, 100);
        bar.SetPos(position);
        EXPECT_EQ(bar.DisplayText(), QStringLiteral("%1 %").arg(position));
    }
    bar.SetRange32(0, 3);
    bar.SetPos(1);
    EXPECT_EQ(bar.DisplayText(), QStringLiteral("33 %"));
}

TEST(TextProgressCtrl, EmptyBarShowsItsTextInTheBarColour) {
    ShownBar shown;
    shown.bar->SetPos(0);
    const QImage image = shown.Shot();
    const QRect all = image.rect();
    EXPECT_EQ(CountColour(image, all, kBar) + CountColour(image, all, kBack) > 0, true);
    EXPECT_EQ(image.pixelColor(1, 1), kBack);
    // "0 %" is drawn over the empty part in the bar colour.
    EXPECT_GT(CountColour(image, all, kBar), 5);
}

TEST(TextProgressCtrl, FullBarShowsItsTextInTheBackgroundColour) {
    ShownBar shown;
    shown.bar->SetPos(100);
    const QImage image = shown.Shot();
    EXPECT_EQ(image.pixelColor(1, 1), kBar);
    EXPECT_EQ(image.pixelColor(image.width() - 2, image.height() - 2), kBar);
    EXPECT_GT(CountColour(image, image.rect(), kBack), 5);
}

TEST(TextProgressCtrl, TextIsInvertedWhereTheBarHasPassed) {
    ShownBar shown;
    shown.bar->SetWindowText(QStringLiteral("MMMMMMMMMMMMMMMM"));
    shown.bar->SetPos(50);
    const QImage image = shown.Shot();
    const int middle = image.width() / 2;
    const QRect filled(0, 0, middle, image.height());
    const QRect empty(middle, 0, image.width() - middle, image.height());
    // Background-coloured letters only on the bar, bar-coloured only beside it.
    EXPECT_GT(CountColour(image, filled, kBack), 10);
    EXPECT_GT(CountColour(image, empty, kBar), 10);
    EXPECT_EQ(image.pixelColor(1, 1), kBar);
    EXPECT_EQ(image.pixelColor(image.width() - 2, 1), kBack);
}

TEST(TextProgressCtrl, FixedTextColourAndHiddenText) {
    ShownBar shown;
    shown.bar->SetTextColour(RGB(255, 0, 0));
    shown.bar->SetPos(50);
    EXPECT_GT(CountColour(shown.Shot(), shown.Shot().rect(), QColor(255, 0, 0)), 5);
    shown.bar->ShowText(false);
    shown.bar->repaint();
    EXPECT_EQ(CountColour(shown.Shot(), shown.Shot().rect(), QColor(255, 0, 0)), 0);
}

TEST(TextProgressCtrl, VerticalBarGrowsUpwardsWithoutText) {
    QWidget parent;
    parent.resize(40, 120);
    auto* bar = new CTextProgressCtrl(&parent);
    bar->setGeometry(10, 10, 20, 100);
    bar->SetVertical(true);
    bar->SetBarColor(RGB(0, 0, 200));
    bar->SetBkColor(RGB(240, 240, 240));
    parent.show();
    bar->SetPos(30);
    const QImage image = bar->grab().toImage();
    EXPECT_EQ(image.pixelColor(10, 99), kBar);
    EXPECT_EQ(image.pixelColor(10, 71), kBar);
    EXPECT_EQ(image.pixelColor(10, 68), kBack);
    EXPECT_EQ(CountColour(image, image.rect(), kBar), 20 * 30);
}

TEST(TextProgressCtrl, RepaintsOnlyWhenTheFilledWidthChanges) {
    ShownBar shown(50); // 50 pixels: two positions per pixel
    shown.bar->SetPos(10);
    const int afterFirst = shown.paints;
    EXPECT_GE(afterFirst, 1);
    shown.bar->SetPos(11); // 5.0 -> 5.5 pixels: same width
    EXPECT_EQ(shown.paints, afterFirst);
    shown.bar->SetPos(12); // 6 pixels
    EXPECT_EQ(shown.paints, afterFirst + 1);
}

TEST(TextProgressCtrl, EmptyOrInvertedRangeDrawsNothing) {
    ShownBar shown;
    shown.bar->SetRange32(50, 50);
    shown.bar->SetPos(50);
    QPixmap canvas(shown.bar->size());
    canvas.fill(Qt::green);
    shown.bar->render(&canvas, QPoint(), QRegion(), QWidget::RenderFlags());
    const QImage image = canvas.toImage();
    EXPECT_EQ(CountColour(image, image.rect(), QColor(Qt::green)), image.width() * image.height());
}

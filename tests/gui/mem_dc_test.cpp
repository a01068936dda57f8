#include "controls/mem_dc.h"

#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QPrinter>
#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(MemDC, DrawsOffScreenAndCopiesAtTheEnd) {
    QImage target(100, 60, QImage::Format_RGB32);
    target.fill(Qt::white);
    QPainter painter(&target);
    painter.setClipRect(QRect(20, 10, 50, 30));
    {
        CMemDC memory(painter);
        EXPECT_TRUE(memory.IsOffScreen());
        EXPECT_EQ(memory.Rect(), QRect(20, 10, 50, 30));
        memory->fillRect(QRect(20, 10, 10, 10), Qt::red); // target coordinates
        memory->fillRect(QRect(60, 30, 10, 10), Qt::blue);
        // Nothing reaches the target before the end.
        EXPECT_EQ(target.pixelColor(25, 15), QColor(Qt::white));
    }
    painter.end();
    EXPECT_EQ(target.pixelColor(25, 15), QColor(Qt::red));
    EXPECT_EQ(target.pixelColor(65, 35), QColor(Qt::blue));
    EXPECT_EQ(target.pixelColor(5, 5), QColor(Qt::white));
}

TEST(MemDC, CoversTheWholeDeviceWithoutAClip) {
    QImage target(30, 20, QImage::Format_RGB32);
    target.fill(Qt::white);
    QPainter painter(&target);
    {
        CMemDC memory(painter);
        EXPECT_EQ(memory.Rect(), QRect(0, 0, 30, 20));
        memory->fillRect(memory.Rect(), Qt::green);
    }
    painter.end();
    EXPECT_EQ(target.pixelColor(29, 19), QColor(Qt::green));
}

TEST(MemDC, DrawsStraightOntoAPrinter) {
    QTemporaryDir dir;
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(dir.filePath("page.pdf"));
    QPainter painter(&printer);
    ASSERT_TRUE(painter.isActive());
    {
        CMemDC memory(painter);
        EXPECT_FALSE(memory.IsOffScreen());
        EXPECT_EQ(&memory.Painter(), &painter);
        memory->drawText(QPointF(100, 100), QStringLiteral("Kelvane for Zip"));
    }
    EXPECT_TRUE(painter.isActive()); // the borrowed painter stays open
    painter.end();
    EXPECT_GT(QFileInfo(dir.filePath("page.pdf")).size(), 0);
}

#include "app/splash_screen_ex.h"
#include "app/startup_splash.h"

#include <QApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QPointer>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <gtest/gtest.h>

namespace {

constexpr QRgb K = kSplashKeyColour;
constexpr QRgb P = qRgb(10, 20, 30);

QImage Picture(std::initializer_list<std::initializer_list<QRgb>> rows) {
    const int height = int(rows.size());
    const int width = int(rows.begin()->size());
    QImage image(width, height, QImage::Format_RGB32);
    int y = 0;
    for (const auto& row : rows) {
        int x = 0;
        for (QRgb pixel : row)
            image.setPixel(x++, y, pixel);
        ++y;
    }
    return image;
}

struct ShapeCase {
    const char* name;
    QImage picture;
    QRegion expected;
};

class ShapeRegionTest : public ::testing::TestWithParam<ShapeCase> {};

QRegion Rects(std::initializer_list<QRect> rects) {
    QRegion region;
    for (const QRect& rect : rects)
        region += rect;
    return region;
}

// Deletes what DestroyWindow left for the event loop.
void FlushDeletes() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

QString WriteBmp(const QTemporaryDir& dir, const QImage& image) {
    const QString path = dir.filePath(QStringLiteral("picture.bmp"));
    image.save(path, "BMP");
    return path;
}

// Records the fades instead of running them.
std::vector<std::pair<int, bool>> g_fades;
bool RecordFade(QWidget* window, int milliseconds, bool show) {
    g_fades.emplace_back(milliseconds, show);
    window->setVisible(show);
    return true;
}

// Records the fades and, like the real one, runs events while fading out.
bool RecordFadeRunningEvents(QWidget* window, int milliseconds, bool show) {
    g_fades.emplace_back(milliseconds, show);
    if (!show)
        QTest::qWait(50);
    window->setVisible(show);
    return true;
}

class SplashTest : public ::testing::Test {
protected:
    void SetUp() override { g_fades.clear(); }
    void TearDown() override {
        CSplashScreenEx::SetAnimateWindowOverride(nullptr, false);
        FlushDeletes();
    }
    QTemporaryDir dir;
};

} // namespace

TEST_P(ShapeRegionTest, RowRunsOfNonKeyPixels) {
    const ShapeCase& c = GetParam();
    const QRegion shape = CSplashScreenEx::BuildShapeRegion(c.picture, K);
    // The same pixels, however the region splits them into rectangles.
    EXPECT_TRUE((shape ^ c.expected).isEmpty()) << c.name;
    EXPECT_EQ(shape.isEmpty(), c.expected.isEmpty()) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Pictures, ShapeRegionTest,
    ::testing::Values(
        ShapeCase{"all key colour", Picture({{K, K, K}, {K, K, K}}), QRegion()},
        ShapeCase{"no key colour", Picture({{P, P}, {P, P}}), QRegion(0, 0, 2, 2)},
        ShapeCase{"key border", Picture({{K, K, K, K}, {K, P, P, K}, {K, P, P, K}, {K, K, K, K}}),
                  QRegion(1, 1, 2, 2)},
        // A run reaching the last column ends there, the next row starts anew.
        ShapeCase{"shape in last column", Picture({{K, K, P}, {K, K, K}}), QRegion(2, 0, 1, 1)},
        ShapeCase{"key in last column", Picture({{P, P, K}, {P, K, K}}),
                  Rects({QRect(0, 0, 2, 1), QRect(0, 1, 1, 1)})},
        ShapeCase{"two runs in a row", Picture({{P, K, P, P, K, P}}),
                  Rects({QRect(0, 0, 1, 1), QRect(2, 0, 2, 1), QRect(5, 0, 1, 1)})},
        // Only an exact match is cut: one off in any channel stays.
        ShapeCase{"near key colour", Picture({{qRgb(255, 0, 241), qRgb(254, 0, 240), K}}),
                  QRegion(0, 0, 2, 1)}),
    [](const ::testing::TestParamInfo<ShapeCase>& test) {
        std::string name = test.param.name;
        for (char& c : name)
            if (!std::isalnum(static_cast<unsigned char>(c)))
                c = '_';
        return name;
    });

TEST_F(SplashTest, PictureSizesShapesAndCentresOnTheScreen) {
    QImage image(41, 30, QImage::Format_RGB32);
    image.fill(P);
    image.setPixel(0, 0, K);
    auto* splash = new CSplashScreenEx;
    ASSERT_TRUE(splash->CreateSplash(nullptr, SPLASH_CENTRE_SCREEN, 0));
    ASSERT_TRUE(splash->SetPicture(WriteBmp(dir, image)));
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_EQ(splash->m_pictureWidth, 41);
    EXPECT_EQ(splash->m_pictureHeight, 30);
    EXPECT_EQ(splash->m_windowLeft, area.left() + (area.width() - 41) / 2);
    EXPECT_EQ(splash->m_windowTop, area.top() + (area.height() - 30) / 2);
    EXPECT_EQ(splash->m_captionRect, QRect(0, 0, 41, 30));
    // Offscreen windows cannot be made translucent: no fading.
    EXPECT_EQ(splash->m_pfnAnimateWindow, nullptr);
    EXPECT_FALSE(splash->m_shape.contains(QPoint(0, 0)));
    EXPECT_TRUE(splash->m_shape.contains(QPoint(1, 0)));
    EXPECT_EQ(splash->mask(), splash->m_shape);
    splash->ShowSplash();
    EXPECT_EQ(splash->geometry(), QRect(splash->m_windowLeft, splash->m_windowTop, 41, 30));
    EXPECT_TRUE(splash->isVisible());
    EXPECT_TRUE(splash->testAttribute(Qt::WA_ShowWithoutActivating));
    EXPECT_TRUE(splash->windowFlags() & Qt::WindowStaysOnTopHint);
    splash->DestroyWindow();
}

TEST_F(SplashTest, CentresOnTheOwnerOnlyWithoutScreenCentring) {
    QWidget owner;
    owner.setGeometry(100, 200, 300, 100);
    QImage image(20, 10, QImage::Format_RGB32);
    image.fill(P);
    auto* splash = new CSplashScreenEx;
    splash->CreateSplash(&owner, SPLASH_CENTRE_OWNER, 0);
    splash->SetPicture(WriteBmp(dir, image));
    const QRect frame = owner.frameGeometry();
    EXPECT_EQ(splash->m_windowLeft, frame.left() + (frame.width() - 20) / 2);
    EXPECT_EQ(splash->m_windowTop, frame.top() + (frame.height() - 10) / 2);
    splash->DestroyWindow();

    auto* unplaced = new CSplashScreenEx;
    unplaced->CreateSplash(&owner, 0, 0);
    unplaced->SetPicture(WriteBmp(dir, image));
    EXPECT_EQ(unplaced->m_windowLeft, 0);
    EXPECT_EQ(unplaced->m_windowTop, 0);
    unplaced->DestroyWindow();
}

TEST_F(SplashTest, MissingPictureLeavesAnInvisibleWindow) {
    auto* splash = new CSplashScreenEx;
    splash->CreateSplash(nullptr, SPLASH_CENTRE_SCREEN, 0);
    EXPECT_FALSE(splash->SetPicture(dir.filePath(QStringLiteral("missing.bmp"))));
    // Not a bitmap either.
    QFile text(dir.filePath(QStringLiteral("text.bmp")));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("not a picture");
    text.close();
    EXPECT_FALSE(splash->SetPicture(text.fileName()));
    splash->ShowSplash();
    EXPECT_EQ(splash->m_pictureWidth, 0);
    EXPECT_FALSE(splash->isVisible());
    splash->DestroyWindow();
}

TEST_F(SplashTest, DisplayTimeZeroStartsNoTimerAndTheTimerRemovesIt) {
    QImage image(8, 8, QImage::Format_RGB32);
    image.fill(P);
    QPointer<CSplashScreenEx> stays = new CSplashScreenEx;
    stays->CreateSplash(nullptr, 0, 0);
    stays->SetPicture(WriteBmp(dir, image));
    stays->ShowSplash();
    EXPECT_EQ(stays->TimerId(), 0);

    QPointer<CSplashScreenEx> timed = new CSplashScreenEx;
    timed->CreateSplash(nullptr, 0, 20);
    timed->SetPicture(WriteBmp(dir, image));
    timed->ShowSplash();
    EXPECT_NE(timed->TimerId(), 0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return timed.isNull(); }, 2000));
    ASSERT_FALSE(stays.isNull());
    EXPECT_TRUE(stays->isVisible());
    stays->DestroyWindow();
    FlushDeletes();
    EXPECT_TRUE(stays.isNull());
}

TEST_F(SplashTest, InputHidesItOnlyWithHideOnInput) {
    QImage image(8, 8, QImage::Format_RGB32);
    image.fill(P);
    QPointer<CSplashScreenEx> plain = new CSplashScreenEx;
    plain->CreateSplash(nullptr, 0, 0);
    plain->SetPicture(WriteBmp(dir, image));
    plain->ShowSplash();
    QTest::keyClick(plain.data(), Qt::Key_A);
    QTest::mouseClick(plain.data(), Qt::LeftButton);
    EXPECT_FALSE(plain->IsDestroyed());
    EXPECT_TRUE(plain->isVisible());
    plain->DestroyWindow();

    for (const bool key : {true, false}) {
        QPointer<CSplashScreenEx> hiding = new CSplashScreenEx;
        hiding->CreateSplash(nullptr, SPLASH_HIDE_ON_INPUT, 0);
        hiding->SetPicture(WriteBmp(dir, image));
        hiding->ShowSplash();
        if (key)
            QTest::keyClick(hiding.data(), Qt::Key_Escape);
        else
            QTest::mouseClick(hiding.data(), Qt::RightButton);
        EXPECT_TRUE(hiding->IsDestroyed());
        EXPECT_FALSE(hiding->isVisible());
        FlushDeletes();
        EXPECT_TRUE(hiding.isNull());
    }
}

TEST_F(SplashTest, FadesInAndOutOnlyWithTheirFlagsAndAFader) {
    CSplashScreenEx::SetAnimateWindowOverride(&RecordFade, true);
    QImage image(8, 8, QImage::Format_RGB32);
    image.fill(P);
    auto* fading = new CSplashScreenEx;
    fading->CreateSplash(nullptr, SPLASH_FADE_IN | SPLASH_FADE_OUT, 0);
    fading->SetPicture(WriteBmp(dir, image));
    fading->ShowSplash();
    fading->HideSplash();
    fading->DestroyWindow();
    EXPECT_EQ(g_fades, (std::vector<std::pair<int, bool>>{{500, true}, {200, false}}));

    g_fades.clear();
    auto* plain = new CSplashScreenEx;
    plain->CreateSplash(nullptr, 0, 0);
    plain->SetPicture(WriteBmp(dir, image));
    plain->ShowSplash();
    EXPECT_TRUE(plain->isVisible());
    plain->HideSplash();
    EXPECT_FALSE(plain->isVisible());
    plain->DestroyWindow();
    EXPECT_TRUE(g_fades.empty());
}

// The start-up hides the splash itself after its display time has passed:
// the timer that came due meanwhile must not start a second fade inside it.
TEST_F(SplashTest, HidingFadesOutOnceEvenWhenTheDisplayTimerComesDue) {
    CSplashScreenEx::SetAnimateWindowOverride(&RecordFadeRunningEvents, true);
    QImage image(8, 8, QImage::Format_RGB32);
    image.fill(P);
    QPointer<CSplashScreenEx> splash = new CSplashScreenEx;
    splash->CreateSplash(nullptr, SPLASH_FADE_OUT, 5);
    splash->SetPicture(WriteBmp(dir, image));
    splash->ShowSplash();
    QThread::msleep(30);
    splash->HideSplash();
    EXPECT_EQ(g_fades, (std::vector<std::pair<int, bool>>{{200, false}}));
    ASSERT_FALSE(splash.isNull());
    EXPECT_EQ(splash->TimerId(), 0);
    splash->DestroyWindow();
}

TEST_F(SplashTest, CaptionIsDrawnOverThePicture) {
    QImage image(60, 30, QImage::Format_RGB32);
    image.fill(Qt::white);
    auto* splash = new CSplashScreenEx;
    splash->CreateSplash(nullptr, 0, 0);
    splash->SetPicture(WriteBmp(dir, image));
    QImage drawn(60, 30, QImage::Format_RGB32);
    {
        QPainter painter(&drawn);
        splash->DrawSplash(painter);
    }
    EXPECT_EQ(drawn, image);
    splash->m_caption = QStringLiteral("MMMM");
    {
        QPainter painter(&drawn);
        splash->DrawSplash(painter);
    }
    EXPECT_NE(drawn, image);
    splash->DestroyWindow();
}

TEST_F(SplashTest, StartupSplashComesAndGoes) {
    const auto saved = g_startupSplashWait;
    g_startupSplashWait = std::chrono::milliseconds(0);
    QImage image(8, 8, QImage::Format_RGB32);
    image.fill(P);
    ShowStartupSplash(nullptr, WriteBmp(dir, image));
    g_startupSplashWait = saved;
    FlushDeletes();
    for (QWidget* widget : QApplication::topLevelWidgets())
        EXPECT_EQ(qobject_cast<CSplashScreenEx*>(widget), nullptr);
}

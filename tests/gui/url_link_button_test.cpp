#include "controls/url_link_button.h"
#include "platform/qt/shell_open_qt.h"

#include <QApplication>
#include <QKeyEvent>
#include <QTest>
#include <gtest/gtest.h>

using platform::RGB;

namespace {

// Captures what the link buttons open instead of starting a program.
class LinkButtonTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_previous = CURLLinkButton::SetOpener([this](const std::wstring& target) {
            opened.push_back(target);
            return true;
        });
        parent.resize(200, 40);
        link = new CURLLinkButton(&parent);
        link->setText(QStringLiteral("www.kelvane.example"));
        link->setGeometry(0, 0, 200, 20);
        parent.show();
        link->setFocus();
    }
    void TearDown() override { CURLLinkButton::SetOpener(m_previous); }

    void Key(QEvent::Type type, int key, bool autoRepeat = false) {
        QKeyEvent event(type, key, Qt::NoModifier, QString(), autoRepeat);
        QApplication::sendEvent(link, &event);
    }

    QWidget parent;
    CURLLinkButton* link = nullptr;
    std::vector<std::wstring> opened;

private:
    CURLLinkButton::LinkOpener m_previous;
};

} // namespace

TEST_F(LinkButtonTest, EnterOpensOncePerPressAndSpaceDoesNothing) {
    QTest::keyClick(link, Qt::Key_Space);
    EXPECT_TRUE(opened.empty());

    Key(QEvent::KeyPress, Qt::Key_Return);
    Key(QEvent::KeyPress, Qt::Key_Return, true); // held: the key repeats
    Key(QEvent::KeyRelease, Qt::Key_Return, true);
    Key(QEvent::KeyPress, Qt::Key_Return, true);
    EXPECT_TRUE(opened.empty());
    Key(QEvent::KeyRelease, Qt::Key_Return);
    EXPECT_EQ(opened, std::vector<std::wstring>{L"www.kelvane.example"});

    // A release without its press opens nothing.
    Key(QEvent::KeyRelease, Qt::Key_Enter);
    EXPECT_EQ(opened.size(), 1u);
    // Another key between press and release cancels the press.
    Key(QEvent::KeyPress, Qt::Key_Enter);
    Key(QEvent::KeyPress, Qt::Key_A);
    Key(QEvent::KeyRelease, Qt::Key_Enter);
    EXPECT_EQ(opened.size(), 1u);
}

TEST_F(LinkButtonTest, OpensTheUrlWithItsPrefixOrElseTheCaption) {
    QTest::mouseClick(link, Qt::LeftButton);
    link->m_url = L"kelvane.example/help";
    link->m_urlPrefix = L"https://";
    QTest::mouseClick(link, Qt::LeftButton);
    EXPECT_EQ(opened,
              (std::vector<std::wstring>{L"www.kelvane.example", L"https://kelvane.example/help"}));
    EXPECT_TRUE(link->m_visited);
}

TEST_F(LinkButtonTest, DisabledButtonIgnoresClicksAndKeys) {
    link->setEnabled(false);
    QTest::mouseClick(link, Qt::LeftButton);
    link->OpenLink();
    EXPECT_TRUE(opened.empty());
    EXPECT_FALSE(link->m_visited);
}

TEST_F(LinkButtonTest, ColoursFollowTheState) {
    EXPECT_EQ(link->m_visitedColour, RGB(128, 0, 128));
    EXPECT_EQ(link->CurrentColour(), link->m_linkColour);
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QApplication::sendEvent(link, &enter);
    EXPECT_TRUE(link->m_hovering);
    EXPECT_EQ(link->CurrentColour(), link->m_hoverColour);
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(link, &leave);
    EXPECT_FALSE(link->m_hovering);
    link->OpenLink();
    EXPECT_EQ(link->CurrentColour(), link->m_visitedColour);
    link->setEnabled(false);
    EXPECT_EQ(link->CurrentColour(), link->m_disabledColour);
}

TEST_F(LinkButtonTest, DrawsInTheLinkFontAndColourWithTheHandCursor) {
    link->m_linkColour = RGB(0, 0, 255);
    link->setText(QStringLiteral("MMMMMM"));
    const QImage image = link->grab().toImage();
    ASSERT_NE(link->LinkFont(), nullptr);
    EXPECT_EQ(link->LinkFont()->pixelSize(), 14);
    EXPECT_EQ(link->LinkFont()->weight(), QFont::ExtraBold);
    EXPECT_TRUE(link->LinkFont()->underline());
    int blue = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            blue += image.pixelColor(x, y) == QColor(0, 0, 255);
    EXPECT_GT(blue, 20);
    ASSERT_NE(g_linkHandCursor, nullptr);
    EXPECT_EQ(link->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_FALSE(link->autoDefault());
}

TEST(ShellOpen, TargetsBecomeTheAddressesTheDesktopOpens) {
    using platform::ShellTargetUrl;
    EXPECT_EQ(ShellTargetUrl(L"https://kelvane.example/zip"), QUrl("https://kelvane.example/zip"));
    EXPECT_EQ(ShellTargetUrl(L"sales@kelvane.example"), QUrl("mailto:sales@kelvane.example"));
    EXPECT_EQ(ShellTargetUrl(L"www.kelvane.example"), QUrl("https://www.kelvane.example"));
    EXPECT_EQ(ShellTargetUrl(L"/var/log/kvzip/Activity Log.txt"),
              QUrl::fromLocalFile("/var/log/kvzip/Activity Log.txt"));
    EXPECT_FALSE(ShellTargetUrl(L"  ").isValid());
}

#include "app/about_dlg.h"
#include "platform/version.h"
#include "res/resource_ids.h"
#include "workflow/repair_state.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using platform::IDCANCEL;

namespace {

class AboutTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_savedFolder = g_appFolder;
        m_previous = CURLLinkButton::SetOpener([this](const std::wstring& target) {
            opened.push_back(target);
            return true;
        });
    }
    void TearDown() override {
        CURLLinkButton::SetOpener(m_previous);
        g_appFolder = m_savedFolder;
    }

    std::vector<std::wstring> opened;

private:
    std::wstring m_savedFolder;
    CURLLinkButton::LinkOpener m_previous;
};

QStringList LabelTexts(const CAboutDlg& about) {
    QStringList texts;
    for (const QLabel* label : about.Client()->findChildren<QLabel*>())
        if (!label->text().isEmpty())
            texts << label->text();
    return texts;
}

} // namespace

TEST_F(AboutTest, TextsLinksInBindingOrderAndTheirAddresses) {
    CAboutDlg about;
    about.CreateFromTemplate();
    EXPECT_EQ(about.windowTitle(), QStringLiteral("About Kelvane for Zip"));
    const QStringList labels = LabelTexts(about);
    for (const char* text :
         {"Kelvane for Zip  v." KVZIP_VERSION, "Websites :", "Sales       :", "Support   :"})
        EXPECT_TRUE(labels.contains(QString::fromUtf8(text))) << text;

    const std::pair<CURLLinkButton*, int> bound[] = {{about.m_siteLink2, res::IDC_LINK_SITE2},
                                                     {about.m_siteLink, res::IDC_LINK_SITE},
                                                     {about.m_salesLink, res::IDC_LINK_SALES},
                                                     {about.m_supportLink, res::IDC_LINK_SUPPORT}};
    for (const auto& [link, id] : bound) {
        ASSERT_NE(link, nullptr) << id;
        EXPECT_EQ(about.GetDlgItem(id), link);
        // Every address is the project's own, never a real company's.
        EXPECT_TRUE(link->text().contains(QStringLiteral("kelvane.example"))) << id;
        link->click();
        EXPECT_EQ(opened.back(), link->text().toStdWString());
    }
    EXPECT_EQ(opened.size(), 4u);
    EXPECT_EQ(about.GetDlgItemText(res::IDC_ABOUT_OK), QStringLiteral("OK"));
}

TEST_F(AboutTest, OkEnterAndEscEndIt) {
    for (int way = 0; way < 3; ++way) {
        CAboutDlg about;
        QTimer::singleShot(0, [&] {
            auto* ok = qobject_cast<QPushButton*>(about.GetDlgItem(res::IDC_ABOUT_OK));
            if (way == 0) {
                ok->click();
            } else if (way == 1) {
                QTest::keyClick(&about, Qt::Key_Escape);
            } else {
                // Enter as the box opens: OK has the focus and is the default.
                EXPECT_TRUE(QTest::qWaitForWindowActive(&about));
                ASSERT_EQ(about.focusWidget(), ok);
                EXPECT_TRUE(ok->isDefault());
                QTest::keyClick(about.focusWidget(), Qt::Key_Return);
            }
        });
        EXPECT_EQ(about.DoModal(), IDCANCEL) << way;
    }
    EXPECT_TRUE(opened.empty());
}

TEST_F(AboutTest, EnterOnALinkOpensItAndKeepsTheBoxOpen) {
    CAboutDlg about;
    bool stillOpen = false;
    QTimer::singleShot(0, [&] {
        about.m_salesLink->setFocus();
        QTest::keyClick(about.m_salesLink, Qt::Key_Return);
        stillOpen = about.isVisible();
        QTest::keyClick(&about, Qt::Key_Escape);
    });
    EXPECT_EQ(about.DoModal(), IDCANCEL);
    EXPECT_TRUE(stillOpen);
    EXPECT_EQ(opened, std::vector<std::wstring>{about.m_salesLink->text().toStdWString()});
}

TEST_F(AboutTest, EachShowingIsFreshAndItsAboutItemDoesNothing) {
    for (int showing = 0; showing < 2; ++showing) {
        CAboutDlg about;
        QTimer::singleShot(0, [&] {
            EXPECT_FALSE(about.m_siteLink->m_visited) << showing;
            // The system menu carries the About item once, and it does nothing.
            QAction* item = nullptr;
            int items = 0;
            for (QAction* action : about.SystemMenu()->actions())
                if (action->text() == QStringLiteral("&About Kelvane For Zip...")) {
                    item = action;
                    ++items;
                }
            EXPECT_EQ(items, 1);
            ASSERT_NE(item, nullptr);
            item->trigger();
            EXPECT_TRUE(about.isVisible());
            about.m_siteLink->click();
            QTest::keyClick(&about, Qt::Key_Escape);
        });
        about.DoModal();
    }
    EXPECT_EQ(opened.size(), 2u);
}

TEST_F(AboutTest, SkinComesFromTheInstallationFolder) {
    QTemporaryDir dir;
    g_appFolder = dir.path().toStdWString();
    EXPECT_FALSE(CAboutDlg().m_backgroundLoaded);
    QImage skin(30, 20, QImage::Format_RGB32);
    skin.fill(Qt::darkCyan);
    ASSERT_TRUE(skin.save(dir.filePath(QStringLiteral("Skin2.bmp")), "BMP"));
    CAboutDlg about;
    EXPECT_TRUE(about.m_backgroundLoaded);
    EXPECT_EQ(about.Skin().size(), QSize(30, 20));
}

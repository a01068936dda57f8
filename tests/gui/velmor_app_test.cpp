#include "app/automation.h"
#include "app/command_line_info.h"
#include "app/single_instance.h"
#include "app/startup_splash.h"
#include "app/velmor_app.h"
#include "app/velmor_dlg.h"
#include "workflow/repair_state.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>
#include <gtest/gtest.h>
#include <unistd.h>

using Action = CCommandLineInfo::Action;

namespace {

struct SwitchCase {
    std::vector<std::string> words;
    Action action;
    std::vector<std::string> files;
};

class CommandLineTest : public ::testing::TestWithParam<SwitchCase> {};

// A private store and installation folder; the main dialog that a start
// opens is looked at and closed from inside its modal run.
class StartUpTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_store = m_dir.filePath(QStringLiteral("registry.ini"));
        m_installed = "[HKEY_CLASSES_ROOT\\KVZIP]\nFilePath=" + m_dir.path().toStdString() + "\n";
        WriteStore(m_installed);
        ::setenv("KVZIP_REGISTRY", m_store.toLocal8Bit().constData(), 1);
        g_appFolder.clear();
        g_startupSplashWait = std::chrono::milliseconds(0);
        CSingleInstance::SetServerName(QStringLiteral("kvzip-app-test-%1").arg(::getpid()));
        automation::RevokeRunningFactories();
    }
    void TearDown() override {
        ::unsetenv("KVZIP_REGISTRY");
        CSingleInstance::SetServerName(QString());
        automation::RevokeRunningFactories();
    }

    void WriteStore(const std::string& text) {
        QFile file(m_store);
        file.open(QIODevice::WriteOnly | QIODevice::Truncate);
        file.write(text.c_str());
    }
    std::string Store() const {
        QFile file(m_store);
        file.open(QIODevice::ReadOnly);
        return file.readAll().toStdString();
    }

    // Runs InitInstance; `look` sees the main dialog once it runs.
    bool Start(std::vector<std::string> words, std::function<void(CVelmorDlg&)> look = {}) {
        words.insert(words.begin(), "kelvane-zip");
        CVelmorApp app;
        app.SetCommandLine(words);
        bool looked = false;
        QTimer timer;
        timer.setInterval(5);
        QObject::connect(&timer, &QTimer::timeout, [&] {
            if (auto* dialog = qobject_cast<CVelmorDlg*>(QApplication::activeModalWidget())) {
                looked = true;
                if (look)
                    look(*dialog);
                dialog->EndDialog(1);
            }
        });
        timer.start();
        EXPECT_FALSE(app.InitInstance());
        EXPECT_EQ(looked, app.m_mainDialogShown);
        return app.m_mainDialogShown;
    }

    QTemporaryDir m_dir;
    QString m_store;
    std::string m_installed;
};

} // namespace

TEST_P(CommandLineTest, SwitchesAfterSlashOrMinusInAnyCase) {
    const CCommandLineInfo info = ParseCommandLine(GetParam().words);
    EXPECT_EQ(info.action, GetParam().action);
    EXPECT_EQ(info.files, GetParam().files);
}

INSTANTIATE_TEST_SUITE_P(
    Words, CommandLineTest,
    ::testing::Values(
        SwitchCase{{}, Action::Open, {}}, SwitchCase{{"/Register"}, Action::Register, {}},
        SwitchCase{{"-REGSERVER"}, Action::Register, {}},
        SwitchCase{{"/Unregister"}, Action::Unregister, {}},
        SwitchCase{{"-unregserver"}, Action::Unregister, {}},
        SwitchCase{{"/Embedding"}, Action::Automation, {}},
        SwitchCase{{"-Automation"}, Action::Automation, {}},
        // An absolute path is an archive, not a switch.
        SwitchCase{{"/home/user/a.zip", "b.zip"}, Action::Open, {"/home/user/a.zip", "b.zip"}},
        SwitchCase{{"--style", "/Registered.zip"}, Action::Open, {"/Registered.zip"}},
        // --help and --version end the program wherever they stand.
        SwitchCase{{"a.zip", "--version", "/Register"}, Action::Version, {}},
        SwitchCase{{"--version", "-h", "a.zip"}, Action::Help, {}},
        SwitchCase{{"/Automation", "--help"}, Action::Help, {}}));

TEST_F(StartUpTest, RegisterAndUnregisterChangeTheStoreAndShowNothing) {
    EXPECT_FALSE(Start({"/Register"}));
    const std::string registered = Store();
    EXPECT_NE(registered.find("[HKEY_CLASSES_ROOT\\Velmor.Application]"), std::string::npos);
    EXPECT_NE(registered.find("FilePath="), std::string::npos);
    EXPECT_FALSE(QFile::exists(m_dir.filePath(QStringLiteral("Activity Log.txt"))));

    EXPECT_FALSE(Start({"-Unregserver"}));
    EXPECT_EQ(Store().find("Velmor"), std::string::npos);
    EXPECT_NE(Store().find("FilePath="), std::string::npos);
    EXPECT_FALSE(QFile::exists(m_dir.filePath(QStringLiteral("Activity Log.txt"))));
}

TEST_F(StartUpTest, AutomationRunsTheFactoriesWithoutRewritingTheStore) {
    EXPECT_TRUE(Start({"/Automation"}, [](CVelmorDlg&) {
        EXPECT_TRUE(automation::IsFactoryRunning(automation::kClassId));
    }));
    EXPECT_EQ(Store(), m_installed);
}

TEST_F(StartUpTest, AnOrdinaryStartRegistersFindsItsFolderAndListsTheArchives) {
    QImage background(20, 10, QImage::Format_RGB32);
    background.fill(Qt::darkBlue);
    background.save(m_dir.filePath(QStringLiteral("Kelvane-Zip.bmp")), "BMP");
    const QString archive = m_dir.filePath(QStringLiteral("given.zip"));
    QFile(archive).open(QIODevice::WriteOnly);

    // A name relative to the working folder arrives as a full path.
    const QString relative = QDir::current().relativeFilePath(archive);
    EXPECT_TRUE(Start({relative.toStdString(), "/no/such.zip"}, [&](CVelmorDlg& dialog) {
        EXPECT_EQ(g_appFolder, m_dir.path().toStdWString());
        EXPECT_EQ(g_appRegistryKey, L"KVZIP");
        EXPECT_TRUE(dialog.m_backgroundLoaded);
        EXPECT_EQ(dialog.SourcePaths(), QStringList{archive});
        EXPECT_TRUE(automation::IsFactoryRunning(automation::kClassId) == false);
    }));
    EXPECT_NE(Store().find("Velmor.Application"), std::string::npos);
    QFile log(m_dir.filePath(QStringLiteral("Activity Log.txt")));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    EXPECT_TRUE(log.readAll().contains("Start Log File"));
}

#include "platform/qt/gui_host_qt.h"
#include "platform/qt/message_box_qt.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <atomic>
#include <gtest/gtest.h>
#include <thread>

using namespace platform;

namespace {

// Answers the next box that opens with `button`, and remembers its texts.
struct BoxAnswerer {
    explicit BoxAnswerer(QMessageBox::StandardButton answer) : button(answer) {}
    QMessageBox::StandardButton button;
    QString text, caption;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    bool onTop = false;
    Qt::WindowModality modality = Qt::NonModal;

    // Looks for the box every few milliseconds: a worker's box opens later.
    void Arm(int attempts = 400) {
        QTimer::singleShot(5, [this, attempts] {
            QMessageBox* box = nullptr;
            for (QWidget* widget : QApplication::topLevelWidgets())
                if (auto* shown = qobject_cast<QMessageBox*>(widget); shown && shown->isVisible())
                    box = shown;
            if (box == nullptr) {
                ASSERT_GT(attempts, 0) << "no message box opened";
                Arm(attempts - 1);
                return;
            }
            text = box->text();
            caption = box->windowTitle();
            icon = box->icon();
            onTop = box->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
            modality = box->windowModality();
            box->button(button)->click();
        });
    }
};

} // namespace

TEST(MessageBoxQt, QuestionsHaveYesNoAndAnIcon) {
    auto box = MakeMessageBox(nullptr, "Do you want to exit?", "Kelvane for Zip",
                              MB_YESNO | MB_ICONQUESTION | MB_SYSTEMMODAL);
    EXPECT_EQ(box->standardButtons(), QMessageBox::Yes | QMessageBox::No);
    EXPECT_EQ(box->icon(), QMessageBox::Question);
    EXPECT_EQ(box->windowModality(), Qt::ApplicationModal);
    EXPECT_TRUE(box->windowFlags().testFlag(Qt::WindowStaysOnTopHint));

    auto notice = MakeMessageBox(nullptr, "Done", "Kelvane for Zip", MB_OK | MB_ICONINFORMATION);
    EXPECT_EQ(notice->standardButtons(), QMessageBox::Ok);
    EXPECT_EQ(notice->icon(), QMessageBox::Information);

    // The icon is the one asked for, not the one the buttons suggest.
    auto held = MakeMessageBox(nullptr, "File is already open ,Please close the file",
                               "Kelvane for Zip", MB_OK | MB_ICONQUESTION | MB_SYSTEMMODAL);
    EXPECT_EQ(held->standardButtons(), QMessageBox::Ok);
    EXPECT_EQ(held->icon(), QMessageBox::Question);
}

TEST(MessageBoxQt, InstalledHandlerShowsTheBoxAndReturnsTheAnswer) {
    InstallQtMessageBoxHandler();
    BoxAnswerer answerer(QMessageBox::No);
    answerer.Arm();
    EXPECT_EQ(MessageBox(nullptr, L" Saving Process is in running, Do you want to exit ? ",
                         L"Kelvane for Zip", MB_YESNO | MB_ICONQUESTION | MB_SYSTEMMODAL),
              IDNO);
    EXPECT_EQ(answerer.text, " Saving Process is in running, Do you want to exit ? ");
    EXPECT_EQ(answerer.caption, "Kelvane for Zip");
    EXPECT_EQ(answerer.icon, QMessageBox::Question);
    EXPECT_TRUE(answerer.onTop);
    EXPECT_EQ(answerer.modality, Qt::ApplicationModal);

    BoxAnswerer yes(QMessageBox::Yes);
    yes.Arm();
    EXPECT_EQ(MessageBox(nullptr, L"Sure?", L"T", MB_YESNO | MB_ICONQUESTION), IDYES);
    BoxAnswerer ok(QMessageBox::Ok);
    ok.Arm();
    EXPECT_EQ(MessageBox(nullptr, L"Done", L"T", MB_OK | MB_ICONINFORMATION), IDOK);
    SetMessageBoxHandler(nullptr);
}

TEST(MessageBoxQt, TestHandlerAnswersInsteadOfTheGui) {
    InstallQtMessageBoxHandler();
    std::vector<std::wstring> asked;
    const MessageBoxHandler previous =
        SetMessageBoxHandler([&](void*, const std::wstring& text, const std::wstring&, unsigned) {
            asked.push_back(text);
            return IDYES;
        });
    ASSERT_TRUE(previous);
    EXPECT_EQ(MessageBox(nullptr, L"Do you want to exit?", L"T", MB_YESNO), IDYES);
    EXPECT_EQ(asked, std::vector<std::wstring>{L"Do you want to exit?"});
    SetMessageBoxHandler(nullptr);
}

TEST(MessageBoxQt, WorkerAsksThroughTheGuiThread) {
    InstallQtMessageBoxHandler();
    BoxAnswerer answerer(QMessageBox::Yes);
    answerer.Arm();
    std::atomic<int> answer{0};
    std::atomic<bool> done{false};
    std::thread worker([&] {
        answer = MessageBox(nullptr, L"From the worker", L"T", MB_YESNO);
        done = true;
    });
    WaitWithoutUserInput([&] { return done.load(); });
    worker.join();
    EXPECT_EQ(answer.load(), IDYES);
    EXPECT_EQ(answerer.text, "From the worker");
    SetMessageBoxHandler(nullptr);
}

TEST(GuiHost, BlockingCallsRunOnTheGuiThreadInOrder) {
    EXPECT_TRUE(IsGuiThread());
    std::vector<int> seen;
    std::atomic<bool> done{false};
    bool allOnGui = true;
    std::thread worker([&] {
        for (int i = 0; i < 3; ++i)
            RunOnGuiThread([&, i] {
                allOnGui = allOnGui && IsGuiThread();
                seen.push_back(i); // returns only after this ran
            });
        done = true;
    });
    WaitWithoutUserInput([&] { return done.load(); });
    worker.join();
    EXPECT_TRUE(allOnGui);
    EXPECT_EQ(seen, (std::vector<int>{0, 1, 2}));

    bool direct = false;
    RunOnGuiThread([&] { direct = true; });
    EXPECT_TRUE(direct);
}

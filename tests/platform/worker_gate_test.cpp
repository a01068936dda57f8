#include "platform/worker_gate.h"
#include "platform/worker_thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>
#include <vector>

using platform::GateHold;
using platform::GateState;
using platform::WorkerEnding;
using platform::WorkerGate;
using platform::WorkerThread;

namespace {

// A worker that counts its safe points until told to stop.
class CountingWorker : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_worker.Start([this](WorkerGate& gate) {
            while (true) {
                gate.Checkpoint();
                ++m_steps;
                std::this_thread::yield();
            }
            return 0;
        }));
    }

    // A halted worker takes no step however long we look.
    void ExpectHalted() {
        ASSERT_EQ(m_worker.Gate().WaitUntilHalted(), GateState::Halted);
        const long before = m_steps;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        EXPECT_EQ(m_steps, before);
    }

    void ExpectRunning() {
        EXPECT_EQ(m_worker.Gate().WaitUntilHalted(), GateState::Running);
        const long before = m_steps;
        while (m_steps == before)
            std::this_thread::yield();
    }

    std::atomic<long> m_steps{0};
    WorkerThread m_worker;
};

} // namespace

TEST_F(CountingWorker, PauseHaltsAtACheckpointAndResumeReleases) {
    ExpectRunning();
    m_worker.Gate().Pause();
    m_worker.Gate().Pause(); // a second Pause is the same pause
    EXPECT_TRUE(m_worker.Gate().IsPaused());
    ExpectHalted();
    m_worker.Gate().Resume();
    EXPECT_FALSE(m_worker.Gate().IsPaused());
    ExpectRunning();
}

TEST_F(CountingWorker, StopUnwindsARunningWorker) {
    ExpectRunning();
    EXPECT_EQ(m_worker.StopAndJoin(), WorkerEnding::Stopped);
    EXPECT_FALSE(m_worker.IsRunning());
}

TEST_F(CountingWorker, StopUnwindsAPausedWorker) {
    m_worker.Gate().Pause();
    ExpectHalted();
    m_worker.Gate().Stop();
    EXPECT_EQ(m_worker.Gate().WaitUntilFinished(), WorkerEnding::Stopped);
    EXPECT_EQ(m_worker.Gate().WaitUntilHalted(), GateState::Finished);
    m_worker.Join();
}

TEST_F(CountingWorker, ARefusedQuestionWhilePausedLeavesItPaused) {
    m_worker.Gate().Pause();
    ExpectHalted();
    {
        GateHold question(m_worker.Gate());
        ExpectHalted();
    } // answered No
    EXPECT_TRUE(m_worker.Gate().IsPaused());
    ExpectHalted();
    m_worker.Gate().Resume();
    ExpectRunning();
}

TEST_F(CountingWorker, ARefusedQuestionWhileRunningLetsItRunAgain) {
    {
        GateHold question(m_worker.Gate());
        ExpectHalted();
        GateHold nested(m_worker.Gate());
        ExpectHalted();
    }
    ExpectRunning();
}

TEST_F(CountingWorker, ResumeDuringAQuestionWaitsForTheAnswer) {
    m_worker.Gate().Pause();
    GateHold question(m_worker.Gate());
    m_worker.Gate().Resume();
    ExpectHalted();
}

TEST_F(CountingWorker, AnAcceptedQuestionKeepsTheWorkerHeldUntilStopped) {
    {
        GateHold question(m_worker.Gate());
        ExpectHalted();
        question.Keep();
    }
    ExpectHalted();
    EXPECT_EQ(m_worker.StopAndJoin(), WorkerEnding::Stopped);
}

TEST(WorkerThread, ReportsHowTheWorkerEnded) {
    WorkerThread worker;
    EXPECT_EQ(worker.Ending(), WorkerEnding::NotStarted);
    EXPECT_EQ(worker.Gate().WaitUntilFinished(), WorkerEnding::NotStarted);

    ASSERT_TRUE(worker.Start([](WorkerGate& gate) {
        gate.Checkpoint();
        return 7;
    }));
    EXPECT_EQ(worker.Join(), WorkerEnding::Completed);
    EXPECT_EQ(worker.ExitCode(), 7);

    ASSERT_TRUE(worker.Start([](WorkerGate&) -> int { throw std::runtime_error("disk gone"); }));
    EXPECT_EQ(worker.Join(), WorkerEnding::Failed);
    EXPECT_EQ(worker.ExitCode(), 0);
}

TEST(WorkerThread, AFinishedWorkerTakesPauseAndStopHarmlessly) {
    WorkerThread worker;
    ASSERT_TRUE(worker.Start([](WorkerGate&) { return 1; }));
    worker.Gate().WaitUntilFinished();
    worker.Gate().Pause();
    EXPECT_EQ(worker.Gate().WaitUntilHalted(), GateState::Finished);
    EXPECT_EQ(worker.StopAndJoin(), WorkerEnding::Completed);
}

TEST(WorkerThread, DestructionStopsAHaltedWorker) {
    std::atomic<bool> unwound{false};
    {
        WorkerThread worker;
        ASSERT_TRUE(worker.Start([&](WorkerGate& gate) {
            struct Flag {
                std::atomic<bool>& set;
                ~Flag() { set = true; }
            } flag{unwound};
            while (true)
                gate.Checkpoint();
            return 0;
        }));
        worker.Gate().Pause();
        ASSERT_EQ(worker.Gate().WaitUntilHalted(), GateState::Halted);
    }
    EXPECT_TRUE(unwound);
}

// A worker that hands its work to two threads and only waits for them: a
// pause is reached once both are held, the slow one too, and then neither
// takes a step; a stop unwinds both.
TEST(WorkerThread, APauseHoldsEveryHelperBeforeItCountsAsHalted) {
    std::atomic<long> steps[2] = {0, 0};
    WorkerThread worker;
    ASSERT_TRUE(worker.Start([&](WorkerGate& gate) {
        std::vector<std::thread> helpers;
        for (int i = 0; i < 2; ++i)
            helpers.emplace_back([&gate, &steps, i] {
                gate.HelperStarted();
                try {
                    while (true) {
                        gate.Checkpoint();
                        ++steps[i];
                        std::this_thread::sleep_for(std::chrono::milliseconds(i == 0 ? 0 : 40));
                    }
                } catch (const platform::WorkerStopped&) {
                }
                gate.HelperEnded();
            });
        for (std::thread& helper : helpers)
            helper.join();
        gate.Checkpoint();
        return 0;
    }));
    while (steps[0] == 0 || steps[1] == 0)
        std::this_thread::yield();
    worker.Gate().Pause();
    ASSERT_EQ(worker.Gate().WaitUntilHalted(), GateState::Halted);
    const long before[2] = {steps[0], steps[1]};
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(steps[0], before[0]);
    EXPECT_EQ(steps[1], before[1]);
    worker.Gate().Resume();
    while (steps[1] == before[1])
        std::this_thread::yield();
    EXPECT_EQ(worker.StopAndJoin(), WorkerEnding::Stopped);
}

#include "cli/interrupt.h"

#include <atomic>
#include <csignal>
#include <cstdlib>
#include <pthread.h>
#include <thread>

struct InterruptWatch::State {
    std::function<void()> onInterrupt;
    std::atomic<bool> interrupted{false};
    sigset_t signals{};
    sigset_t previous{};
    std::thread watcher;
};

InterruptWatch::InterruptWatch(std::function<void()> onInterrupt) : m_state(new State) {
    m_state->onInterrupt = std::move(onInterrupt);
    sigemptyset(&m_state->signals);
    sigaddset(&m_state->signals, SIGINT);
    sigaddset(&m_state->signals, SIGTERM);
    // SIGUSR2 only wakes the watcher when the command ends normally.
    sigaddset(&m_state->signals, SIGUSR2);
    pthread_sigmask(SIG_BLOCK, &m_state->signals, &m_state->previous);
    m_state->watcher = std::thread([state = m_state] {
        int signal = 0;
        while (sigwait(&state->signals, &signal) == 0) {
            if (signal == SIGUSR2)
                return;
            // The second one is for when the first cannot be honoured soon
            // (a question on the terminal, slow media): leave at once.
            if (state->interrupted.exchange(true))
                std::_Exit(130);
            state->onInterrupt();
        }
    });
}

InterruptWatch::~InterruptWatch() {
    pthread_kill(m_state->watcher.native_handle(), SIGUSR2);
    m_state->watcher.join();
    pthread_sigmask(SIG_SETMASK, &m_state->previous, nullptr);
    delete m_state;
}

bool InterruptWatch::Interrupted() const {
    return m_state->interrupted.load();
}

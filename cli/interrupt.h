// Ctrl+C for the long commands: the first interrupt runs the command's
// handler (which stops its worker at the next safe point) instead of
// killing the process, so that files already written stay whole; the
// second ends the process at once with exit code 130.
#pragma once

#include <functional>

class InterruptWatch {
public:
    // Blocks SIGINT and SIGTERM in the calling thread (and the threads it
    // starts later) and watches for them on a thread of its own.
    explicit InterruptWatch(std::function<void()> onInterrupt);
    InterruptWatch(const InterruptWatch&) = delete;
    InterruptWatch& operator=(const InterruptWatch&) = delete;
    ~InterruptWatch();

    bool Interrupted() const;

private:
    struct State;
    State* m_state;
};

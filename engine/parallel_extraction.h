// Extracting the entries of one archive on several threads. Each thread has
// a reader of its own (its own decoder, output file and folder cache) over
// the shared bytes and entry table, and writes the files it decodes; the
// results come back to the calling thread in entry order.
#pragma once

#include "engine/zip_archive.h"

#include <algorithm>
#include <condition_variable>
#include <cstddef>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

// True when the entries' outputs cannot touch each other, so that any order
// of extraction leaves the same files and reports: no two entries have the
// same output path and no entry's path is a folder on another's way.
// Otherwise (or where unsure) the entries must be extracted one by one.
bool OutputsAreIndependent(const CZipArchive& archive);

// The threads worth starting: `wanted`, or when 0 the number of processors
// the process may run on.
unsigned ExtractionJobs(unsigned wanted);

// Runs `extract(reader, index)`, which must not throw, for every entry of `archive`, on up to
// `jobs` threads, and `report(index, result)` on the calling thread in
// entry order, as soon as each result and those before it are in. `stop()`
// is asked before each entry is begun, on the thread that would begin it
// (so it must be safe to call from any thread, and it may block, as a
// pause does); once it says so no further entry is begun, and the entries
// under way finish (the engine ends them between chunks) and are reported.
// At most a few entries per thread wait to be reported, so memory does not
// grow with the archive. `writes` false: `extract` only decodes, so no two
// entries can touch. Returns how many entries were reported: fewer than
// the archive holds only after a stop. Whatever `report` throws ends the
// run once the threads have finished their entries. `helper(true)` and
// `helper(false)`, when given, are called on each thread started here as
// it begins and as it ends, so that a pause can tell when all are held.
template <typename Result>
std::size_t ExtractInEntryOrder(CZipArchive& archive, unsigned jobs,
                                const std::function<Result(CZipArchive&, std::size_t)>& extract,
                                const std::function<void(std::size_t, Result&)>& report,
                                const std::function<bool()>& stop, bool writes = true,
                                const std::function<void(bool)>& helper = {}) {
    const std::size_t count = archive.GetEntryCount();
    if (jobs <= 1 || count < 2 || (writes && !OutputsAreIndependent(archive))) {
        std::size_t i = 0;
        for (; i < count && !stop(); ++i) {
            Result result = extract(archive, i);
            report(i, result);
        }
        return i;
    }
    jobs = static_cast<unsigned>(std::min<std::size_t>(jobs, count));
    const std::size_t window = 8 * jobs;
    std::vector<std::optional<Result>> slots(window);
    std::mutex lock;
    std::condition_variable changed;
    std::size_t next = 0;     // the first entry not yet begun
    std::size_t reported = 0; // the first entry not yet reported
    bool halted = false;      // stop() said so, or the run ends: begin nothing more

    auto work = [&](CZipArchive& reader) {
        if (helper)
            helper(true);
        const auto ended = [&helper] {
            if (helper)
                helper(false);
        };
        for (;;) {
            {
                std::unique_lock<std::mutex> held(lock);
                changed.wait(held,
                             [&] { return halted || next >= count || next < reported + window; });
                if (halted || next >= count)
                    return ended();
            }
            // Asked outside the lock: it may hold this thread for a pause.
            const bool stopped = stop();
            std::size_t index = 0;
            {
                std::lock_guard<std::mutex> held(lock);
                if (stopped)
                    halted = true;
                if (halted || next >= count) {
                    changed.notify_all();
                    return ended();
                }
                // Others may have filled the window while the lock was free:
                // an entry past it would take the slot of one not yet reported.
                if (next >= reported + window)
                    continue;
                index = next++;
            }
            std::optional<Result> result;
            result.emplace(extract(reader, index));
            std::lock_guard<std::mutex> held(lock);
            slots[index % window] = std::move(result);
            changed.notify_all();
        }
    };

    std::vector<std::unique_ptr<CZipArchive>> readers;
    std::vector<std::thread> threads;
    const auto finish = [&] {
        {
            std::lock_guard<std::mutex> held(lock);
            halted = true;
            changed.notify_all();
        }
        for (std::thread& thread : threads)
            thread.join();
        // Folder entries get their times now, when every file is in.
        for (auto& reader : readers)
            reader->CloseArchive(true);
    };
    for (unsigned j = 0; j < jobs; ++j) {
        readers.push_back(std::make_unique<CZipArchive>());
        readers.back()->ReadEntriesOf(archive);
        threads.emplace_back(work, std::ref(*readers.back()));
    }
    try {
        std::unique_lock<std::mutex> held(lock);
        while (reported < count) {
            changed.wait(held, [&] {
                return slots[reported % window].has_value() || (halted && reported == next);
            });
            if (!slots[reported % window])
                break; // stopped, and every entry begun is reported
            Result result = std::move(*slots[reported % window]);
            slots[reported % window].reset();
            const std::size_t index = reported++;
            changed.notify_all();
            held.unlock();
            report(index, result);
            held.lock();
        }
    } catch (...) {
        finish();
        throw;
    }
    finish();
    return reported;
}

#include "batch/runner.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <optional>
#include <thread>

#include <fcntl.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace kov::batch {

namespace {

using Clock = std::chrono::steady_clock;

/// The most records whose files are published together, and the longest
/// the first of them waits for the others.
constexpr std::size_t MaxGroup = 32;
constexpr auto MaxGroupWait = std::chrono::milliseconds(50);

/// How many descriptors the process has open, counted in /proc/self/fd
/// (the one reading it included); 0 when it cannot be read. Read straight
/// into a buffer on the stack: a directory stream would take 32 KiB of heap
/// for a few entries.
rlim_t openDescriptors()
{
    const int dir = ::open("/proc/self/fd", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0)
        return 0;
    rlim_t count = 0;
    alignas(8) char buffer[4096];
    for (;;) {
        const long n = ::syscall(SYS_getdents64, dir, buffer, sizeof buffer);
        if (n <= 0)
            break;
        for (long at = 0; at < n;) {
            // struct linux_dirent64: inode, offset, record length, type, name.
            unsigned short length = 0;
            std::memcpy(&length, buffer + at + 16, sizeof length);
            const char *name = buffer + at + 19;
            if (std::strcmp(name, ".") != 0 && std::strcmp(name, "..") != 0)
                ++count;
            at += length;
        }
    }
    ::close(dir);
    return count;
}

/// How many descriptors the publishing of groups may hold: at most half the
/// process's, and never those the workers need (the record, the file being
/// written, a picture), those open already, nor a reserve for the rest of
/// the program.
int openFilesForGroups(std::size_t jobs)
{
    constexpr rlim_t Reserve = 16;
    constexpr rlim_t PerJob = 4;
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0)
        return 0;
    // Descriptors inherited from the caller are taken already.
    const rlim_t inherited = openDescriptors();
    const rlim_t needed = Reserve + PerJob * jobs + inherited;
    const rlim_t spare = limit.rlim_cur > needed ? limit.rlim_cur - needed : 0;
    return static_cast<int>(std::min<rlim_t>({limit.rlim_cur / 2, spare, 1 << 16})); // RLIM_INFINITY too
}

/// Set by SIGINT: start no new record. (A signal handler may only store
/// into a lock-free atomic.)
std::atomic<bool> interrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free);

extern "C" void onInterrupt(int)
{
    interrupted.store(true);
    // A second Ctrl-C ends the program at once.
    std::signal(SIGINT, SIG_DFL);
}

/// Catches SIGINT for the run, and gives the earlier handling back after it.
class InterruptGuard {
public:
    InterruptGuard()
    {
        interrupted.store(false);
        struct sigaction action {};
        action.sa_handler = onInterrupt;
        action.sa_flags = SA_RESTART;
        sigemptyset(&action.sa_mask);
        ::sigaction(SIGINT, &action, &m_earlier);
    }
    ~InterruptGuard() { ::sigaction(SIGINT, &m_earlier, nullptr); }
    InterruptGuard(const InterruptGuard &) = delete;
    InterruptGuard &operator=(const InterruptGuard &) = delete;

private:
    struct sigaction m_earlier {};
};

/// The progress line on standard error: records done of all, failures so
/// far, records per second and the time left, redrawn in place at most ten
/// times a second.
class Progress {
public:
    Progress(std::size_t total, bool shown) : m_total(total), m_shown(shown) {}

    void update(std::size_t done, std::size_t failed, bool force = false)
    {
        if (!m_shown)
            return;
        const auto now = Clock::now();
        if (!force && now - m_drawn < std::chrono::milliseconds(100))
            return;
        m_drawn = now;
        const double seconds = std::chrono::duration<double>(now - m_start).count();
        const double rate = seconds > 0 ? static_cast<double>(done) / seconds : 0.0;
        char left[32] = "";
        if (rate > 0) {
            const long s = std::lround(static_cast<double>(m_total - done) / rate);
            std::snprintf(left, sizeof left, ", %ld:%02ld left", s / 60, s % 60);
        }
        std::fprintf(stderr, "\r%zu/%zu records, %zu failed, %.1f records/s%s\033[K", done, m_total, failed, rate, left);
        std::fflush(stderr);
    }

    /// Takes the line away, so that other lines can be printed.
    void clear()
    {
        if (m_shown) {
            std::fputs("\r\033[K", stderr);
            std::fflush(stderr);
            m_drawn = {};
        }
    }

private:
    std::size_t m_total;
    bool m_shown;
    Clock::time_point m_start = Clock::now();
    Clock::time_point m_drawn{};
};

} // namespace

int availableCores()
{
    cpu_set_t set;
    CPU_ZERO(&set);
    if (::sched_getaffinity(0, sizeof set, &set) == 0 && CPU_COUNT(&set) > 0)
        return CPU_COUNT(&set);
    const unsigned n = std::thread::hardware_concurrency();
    return n > 0 ? static_cast<int>(n) : 1;
}

bool runRecords(const std::vector<RecordPlan> &plans, const Options &options,
                const std::function<void(std::size_t, RecordOutcome &&)> &done)
{
    const std::size_t total = plans.size();
    const std::size_t jobs =
        std::min<std::size_t>(total, static_cast<std::size_t>(options.jobs > 0 ? options.jobs : availableCores()));
    const InterruptGuard guard;
    GroupPublisher publisher(openFilesForGroups(jobs));
    Progress progress(total, !options.quiet && total > 1 && ::isatty(STDERR_FILENO));

    // Slot i % ahead holds record i from its start until the main thread
    // takes it, and record i starts only when record i - ahead has been
    // taken. A finished record that holds only its lines and files lets the
    // workers run a group ahead while the main thread publishes; one that
    // holds its analysed record (for a picture or the report) does not, so
    // that at most jobs records are in memory.
    const bool holdsRecords = !options.plotFile.empty() || !options.reportFile.empty();
    const std::size_t ahead = holdsRecords ? jobs : jobs + MaxGroup;
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::optional<RecordOutcome>> slots(std::max<std::size_t>(ahead, 1));
    // Taken records wait, in order, for their files to be published as a
    // group: one sync for many records instead of one per file. A waiting
    // record holds its lines and its open temporary files; with a picture
    // or a report it also holds its analysed record, so then each record is
    // published on its own.
    const std::size_t groupSize = holdsRecords ? 1 : MaxGroup;
    std::size_t next = 0;    // the next record to start
    std::size_t handed = 0;  // the records taken from their slots
    std::size_t doneInOrder = 0; // the records done, all of those before them too
    // The main thread is woken once the records up to here are done, not
    // for each record: waking it costs a switch of threads per record.
    std::size_t wakeAt = std::min(total, groupSize);
    auto work = [&] {
        std::unique_lock lock(mutex);
        for (;;) {
            changed.wait(lock, [&] { return next >= total || interrupted.load() || next < handed + ahead; });
            if (next >= total || interrupted.load())
                return;
            const std::size_t i = next++;
            lock.unlock();
            RecordOutcome outcome = runRecord(plans[i], options, publisher);
            lock.lock();
            slots[i % ahead] = std::move(outcome);
            // Slot j % ahead holds record j, from handed on, once it is done.
            while (doneInOrder < next && slots[doneInOrder % ahead])
                ++doneInOrder;
            if (doneInOrder >= wakeAt || interrupted.load())
                changed.notify_all();
        }
    };
    std::vector<std::thread> pool;
    if (jobs > 1)
        for (std::size_t t = 0; t < jobs; ++t)
            pool.emplace_back(work);

    std::vector<std::pair<std::size_t, RecordOutcome>> group;
    Clock::time_point groupStart{};
    std::size_t shown = 0; // the records handed to done
    std::size_t failed = 0;
    auto handOn = [&](std::size_t i, RecordOutcome &&outcome) {
        if (outcome.failed())
            ++failed;
        progress.clear();
        done(i, std::move(outcome));
        progress.update(++shown, failed, true);
    };
    auto publishGroup = [&] {
        std::vector<PendingFile *> files;
        for (auto &[i, outcome] : group)
            for (RecordOutcome::Pending &p : outcome.pending)
                files.push_back(&p.file);
        const std::vector<int> failures = publisher.publish(files);
        const int *failure = failures.data();
        for (auto &[i, outcome] : group) {
            const std::size_t n = outcome.pending.size();
            publishedFiles(outcome, failure);
            failure += n;
            handOn(i, std::move(outcome));
        }
        group.clear();
    };
    auto groupDue = [&] { return !group.empty() && Clock::now() - groupStart >= MaxGroupWait; };
    auto take = [&](std::size_t i, RecordOutcome &&outcome) {
        // With nothing to publish and nobody before it, a record is done.
        if (group.empty() && outcome.pending.empty()) {
            handOn(i, std::move(outcome));
            return;
        }
        if (group.empty())
            groupStart = Clock::now();
        group.emplace_back(i, std::move(outcome));
        if (group.size() >= groupSize || groupDue())
            publishGroup();
    };

    for (std::size_t i = 0; i < total; ++i) {
        std::optional<RecordOutcome> outcome;
        if (jobs == 1) {
            if (interrupted.load())
                break;
            next = i + 1;
            outcome = runRecord(plans[i], options, publisher);
        } else {
            std::unique_lock lock(mutex);
            // Woken by a worker when the records that fill the group are
            // done, or every 100 ms to redraw the progress and to see an
            // interruption (the signal handler cannot notify), or when the
            // waiting group is due.
            wakeAt = std::min(total, i + groupSize - group.size());
            while (!slots[i % ahead] && !(interrupted.load() && i >= next)) {
                auto wait = std::chrono::duration_cast<Clock::duration>(std::chrono::milliseconds(100));
                if (!group.empty())
                    wait = std::clamp(groupStart + MaxGroupWait - Clock::now(), Clock::duration::zero(), wait);
                changed.wait_for(lock, wait);
                if (interrupted.load())
                    changed.notify_all();
                lock.unlock();
                if (groupDue())
                    publishGroup();
                progress.update(shown, failed);
                lock.lock();
            }
            if (!slots[i % ahead])
                break;
            outcome.swap(slots[i % ahead]);
            handed = i + 1;
            changed.notify_all();
        }
        take(i, std::move(*outcome));
    }
    // An interrupted call publishes the records that ran as well.
    if (!group.empty())
        publishGroup();
    for (std::thread &t : pool)
        t.join();
    progress.clear();
    // The renames become durable here, each folder synced once for the
    // call. Until then a crash leaves each target its earlier file or the
    // new one whole: every file's data was synced before its rename.
    publisher.syncFolders();
    return !interrupted.load() || next >= total;
}

} // namespace kov::batch

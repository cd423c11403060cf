#include "PRQLogger/Misc/ReadSection.hpp"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <limits>
#include <mutex>
#include <utility>
#include <vector>

namespace prq {

namespace {
// One reading thread, on a cache line of its own so that readers never share a written line.
struct alignas(64) Reader {
    std::atomic<std::uint64_t> openSince{0};  // the epoch the open sections began in; 0: none open
    bool taken = false;                       // guarded by the registry's mutex
};

// Read by every section that opens; trivially destructible, so it can be read while the process exits.
constinit std::atomic<std::uint64_t> epoch{1};

struct Registry {
    std::mutex mutex;
    // Readers are reused by later threads once theirs end, so the list stays as long as the
    // most threads that ever read at once.
    std::vector<std::unique_ptr<Reader>> readers;
    std::vector<std::pair<std::uint64_t, std::shared_ptr<const void>>> retired;  // with their epoch
};

// Never destroyed: threads may read settings while the process exits.
Registry& registry() {
    static auto* const shared = new Registry;
    return *shared;
}

Reader* takeReader() {
    auto& all = registry();
    const std::lock_guard lock(all.mutex);
    const auto free = std::find_if(all.readers.begin(), all.readers.end(), [](const auto& reader) { return !reader->taken; });
    Reader* reader = free != all.readers.end() ? free->get() : all.readers.emplace_back(std::make_unique<Reader>()).get();
    reader->taken = true;
    return reader;
}

// The thread's reader and how deep its sections nest; trivially destructible, so sections still
// work in code that runs after the thread's other objects are gone.
struct ThreadReading {
    Reader* reader = nullptr;
    unsigned depth = 0;
    bool ended = false;
};
thread_local ThreadReading reading;

// Gives the thread's reader back when the thread ends. A thread that reads again after that (in
// the destructor of another of its objects, or in an atexit handler) takes a reader for good.
struct ReaderRelease {
    ~ReaderRelease() {
        const std::lock_guard lock(registry().mutex);
        reading.reader->taken = false;
        reading.reader = nullptr;
        reading.ended = true;
    }
};
thread_local ReaderRelease release;

}  // namespace

ReadSection::ReadSection() {
    if (reading.depth++ > 0) return;
    if (!reading.reader) {
        reading.reader = takeReader();
        if (!reading.ended) static_cast<void>(&release);  // registers the release at the thread's end
    }
    // The epoch goes out before any value is read: a change that retires a value after this
    // fence sees it; one that retired it earlier published its replacement before the epoch moved.
    reading.reader->openSince.store(epoch.load(std::memory_order_acquire), std::memory_order_relaxed);
    std::atomic_thread_fence(std::memory_order_seq_cst);
}

ReadSection::~ReadSection() {
    if (--reading.depth == 0) reading.reader->openSince.store(0, std::memory_order_release);
}

void ReadSection::retire(std::shared_ptr<const void> value) {
    auto& all = registry();
    std::vector<std::shared_ptr<const void>> freed;  // destroyed after the lock: a value's destructor may retire others
    {
        const std::lock_guard lock(all.mutex);
        all.retired.emplace_back(epoch.fetch_add(1, std::memory_order_seq_cst), std::move(value));
        std::uint64_t oldestOpen = std::numeric_limits<std::uint64_t>::max();
        for (const auto& reader : all.readers) {
            if (const auto since = reader->openSince.load(std::memory_order_seq_cst); since != 0) {
                oldestOpen = std::min(oldestOpen, since);
            }
        }
        // A section that began in the epoch a value was retired in, or earlier, may hold it.
        const auto stillHeld = std::stable_partition(all.retired.begin(), all.retired.end(),
                                                     [&](const auto& entry) { return entry.first >= oldestOpen; });
        for (auto entry = stillHeld; entry != all.retired.end(); ++entry) freed.push_back(std::move(entry->second));
        all.retired.erase(stillHeld, all.retired.end());
    }
}

}  // namespace prq

#include "Batch.h"

#include <deque>
#include <memory>
#include <new>
#include <system_error>
#include <vector>

#include "Worker.h"

namespace {

struct Slot {
    std::string messages;
    bool succeeded = false;
    Worker worker;  // last: stopped before what its job writes goes
};

}  // namespace

bool RunBatch(const Batch& batch) {
    std::vector<std::unique_ptr<Slot>> slots;
    // Only a speed-up: jobs whose thread cannot start run on this one.
    try {
        while (batch.jobs > 1 && slots.size() < batch.threads && slots.size() < batch.jobs) {
            slots.push_back(std::make_unique<Slot>());
        }
    } catch (const std::system_error&) {
    } catch (const std::bad_alloc&) {
    }
    std::deque<Slot*> running;  // oldest first
    std::vector<Slot*> idle;
    for (const auto& slot : slots) idle.push_back(slot.get());
    bool allSucceeded = true;
    const auto finishOldest = [&] {
        Slot* const slot = running.front();
        running.pop_front();
        idle.push_back(slot);
        slot->worker.Wait();  // rethrows what the job threw
        batch.put(slot->messages);
        allSucceeded = slot->succeeded && allSucceeded;
    };
    // Jobs still running when an exception leaves must not outlive what they use.
    struct SettleOnExit {
        const std::vector<std::unique_ptr<Slot>>& slots;
        ~SettleOnExit() {
            for (const auto& slot : slots) slot->worker.Settle();
        }
    } settle{slots};
    for (std::size_t i = 0; i < batch.jobs; ++i) {
        if (slots.empty() || !batch.mayShare(i)) {
            while (!running.empty()) finishOldest();
            allSucceeded = batch.run(i, Job{nullptr, batch.threadsAlone, true}) && allSucceeded;
            continue;
        }
        if (idle.empty()) finishOldest();
        Slot* const slot = idle.back();
        idle.pop_back();
        running.push_back(slot);
        slot->messages.clear();
        slot->worker.Start([&batch, slot, i] {
            slot->succeeded = batch.run(i, Job{&slot->messages, 1, false});
        });
    }
    while (!running.empty()) finishOldest();
    return allSucceeded;
}

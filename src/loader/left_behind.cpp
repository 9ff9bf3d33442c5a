#include "loader/left_behind.h"

#include "loader/slide_loader.h"

#include <mutex>

namespace {

struct Kept {
    std::mutex mutex;
    std::vector<std::unique_ptr<SlideLoader>> loaders;  // guarded by mutex
    std::vector<std::shared_ptr<void>> uses;            // guarded by mutex
};

// Never destroyed, not even at exit: a kept thread may still be running
// while static objects are torn down. Reachable from here, so the leak
// checker does not count what it holds either.
union Immortal {
    Kept kept;
    Immortal() : kept() {}
    ~Immortal() {}
};

Kept& kept() {
    static Immortal immortal;
    return immortal.kept;
}

}  // namespace

namespace left_behind {

void keep(std::unique_ptr<SlideLoader> loader, std::vector<std::shared_ptr<void>> uses) {
    Kept& k = kept();
    std::lock_guard lock(k.mutex);
    k.loaders.push_back(std::move(loader));
    for (auto& use : uses) k.uses.push_back(std::move(use));
}

void keepAlso(std::shared_ptr<void> use) {
    Kept& k = kept();
    std::lock_guard lock(k.mutex);
    k.uses.push_back(std::move(use));
}

std::size_t count() {
    Kept& k = kept();
    std::lock_guard lock(k.mutex);
    return k.loaders.size();
}

bool waitUntilAllEnded(std::chrono::milliseconds bound) {
    const auto giveUp = std::chrono::steady_clock::now() + bound;
    Kept& k = kept();
    std::lock_guard lock(k.mutex);
    for (auto& loader : k.loaders) {
        const auto left = giveUp - std::chrono::steady_clock::now();
        if (left <= left.zero()) return false;
        // stop() also joins the thread once it has ended.
        if (!loader->stop(std::chrono::duration_cast<std::chrono::milliseconds>(left))) return false;
    }
    return true;
}

}  // namespace left_behind

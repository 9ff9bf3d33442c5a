#include "images/pass_memory.h"

#include <algorithm>
#include <chrono>
#include <iterator>
#include <utility>

#include "platform/debug_output.h"
#include "platform/state_file.h"

namespace {

// Told apart from every other pass; not drawn from the show's generator,
// whose sequence tests script.
std::uint64_t newPassId(const void* self) {
    const auto now = std::chrono::system_clock::now().time_since_epoch().count();
    const std::uint64_t parts[2] = {static_cast<std::uint64_t>(now),
                                    reinterpret_cast<std::uintptr_t>(self)};
    return hashBytes({reinterpret_cast<const unsigned char*>(parts), sizeof parts});
}

void reportIgnored(const char* why) {
    debugOutput((std::string("Glimmora: the state of the shown pictures ") + why +
                 "; a new pass begins\n")
                    .c_str());
}

}  // namespace

PassMemory::PassMemory(std::string path, const std::vector<std::string>& directories)
    : path_(std::move(path)), folders_(folderListHash(directories)) {
    pass_ = newPassId(this);
    load();
}

std::unique_ptr<PassMemory> PassMemory::forFolders(const std::vector<std::string>& directories) {
    const auto directory = stateDirectory();
    return std::make_unique<PassMemory>(directory ? stateFilePath(*directory, kFileName) : "",
                                        directories);
}

PassMemory::~PassMemory() {
    std::lock_guard writing(writeMutex_);
    writeNow();
}

void PassMemory::load() {
    if (path_.empty()) return;
    // A run that ended between writing its state and renaming it left the
    // temporary file; nobody else ever would remove it.
    removeStaleTemporaries(path_, kStaleTemporarySeconds);
    std::vector<unsigned char> bytes;
    switch (readStateFile(path_, kLargestPassStateBytes, bytes)) {
    case StateRead::Missing:
        return;
    case StateRead::Failed:
        reportIgnored("could not be read");
        return;
    case StateRead::Read:
        break;
    }
    auto state = decodePassState(bytes);
    if (!state) {
        reportIgnored("is damaged");
        return;
    }
    // Another folder list: its pass is not this one.
    if (state->folders != folders_) return;
    std::lock_guard lock(mutex_);
    pass_ = state->pass;
    earlier_ = std::move(state->shown);
}

bool PassMemory::shownInPass(const std::string& path) const {
    const std::uint64_t hash = pathHash(path);
    std::lock_guard lock(mutex_);
    return added_.count(hash) != 0 || std::binary_search(earlier_.begin(), earlier_.end(), hash);
}

void PassMemory::markShown(const std::string& path) {
    const std::uint64_t hash = pathHash(path);
    std::lock_guard lock(mutex_);
    if (std::binary_search(earlier_.begin(), earlier_.end(), hash)) return;
    if (added_.insert(hash).second) ++changes_;
}

void PassMemory::beginNewPass() {
    std::lock_guard lock(mutex_);
    pass_ = newPassId(this);
    earlier_.clear();
    added_.clear();
    ++changes_;
}

std::size_t PassMemory::shownCount() const {
    std::lock_guard lock(mutex_);
    return earlier_.size() + added_.size();
}

void PassMemory::save() {
    std::lock_guard writing(writeMutex_);
    writeNow();
}

void PassMemory::writeNow() {
    if (path_.empty()) return;
    PassState state;
    state.folders = folders_;
    std::uint64_t changes = 0;
    {
        std::lock_guard lock(mutex_);
        if (changes_ == written_) return;
        changes = changes_;
        // The new marks join the sorted list here, once per write rather
        // than once per picture.
        std::vector<std::uint64_t> added(added_.begin(), added_.end());
        std::sort(added.begin(), added.end());
        std::vector<std::uint64_t> merged;
        merged.reserve(earlier_.size() + added.size());
        std::merge(earlier_.begin(), earlier_.end(), added.begin(), added.end(),
                   std::back_inserter(merged));
        earlier_ = std::move(merged);
        added_.clear();
        state.pass = pass_;
        state.shown = earlier_;
    }
    // Another process may have shown pictures of the same pass since: they
    // stay shown. A file of another pass or list is simply replaced.
    std::vector<unsigned char> bytes;
    if (readStateFile(path_, kLargestPassStateBytes, bytes) == StateRead::Read) {
        if (const auto other = decodePassState(bytes);
            other && other->folders == state.folders && other->pass == state.pass) {
            std::vector<std::uint64_t> merged;
            merged.reserve(state.shown.size() + other->shown.size());
            std::set_union(state.shown.begin(), state.shown.end(), other->shown.begin(),
                           other->shown.end(), std::back_inserter(merged));
            state.shown = std::move(merged);
        }
    }
    if (replaceStateFile(path_, encodePassState(state))) {
        written_ = changes;
    } else if (!writeFailed_) {
        writeFailed_ = true;
        debugOutput("Glimmora: the state of the shown pictures could not be written\n");
    }
}

#include "image/edit_journal.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

#include "platform/host_env.h"

namespace {

// The areas a step's changes name: the fixed part (boot sector, FATs, root directory, the
// geometry), the kept bytes, the clusters.
enum JournalArea : uint8_t { kFixedArea, kKeptArea, kClusterArea, kAreaCount };
const size_t kPieceBytes = 512;

struct Area {
    const uint8_t* bytes;
    size_t size;
    size_t unit;
};

Area areaOf(const VolumeState& v, int area) {
    if (area == kFixedArea)
        return {reinterpret_cast<const uint8_t*>(static_cast<const FixedVolumeState*>(&v)),
                sizeof(FixedVolumeState), kPieceBytes};
    if (area == kKeptArea) return {v.keptBytes.data(), v.keptBytes.size(), kPieceBytes};
    size_t clusterBytes = v.clusters.count() > 0 ? v.clusterBytes : 0;
    return {v.clusters.data(), static_cast<size_t>(v.clusters.count()) * clusterBytes,
            clusterBytes};
}

uint8_t* writable(VolumeState& v, int area) { return const_cast<uint8_t*>(areaOf(v, area).bytes); }

bool sameGeometry(const VolumeState& a, const VolumeState& b) {
    for (int area = 0; area < kAreaCount; ++area)
        if (areaOf(a, area).size != areaOf(b, area).size ||
            areaOf(a, area).unit != areaOf(b, area).unit)
            return false;
    return true;
}

size_t volumeBytes(const VolumeState& v) {
    size_t total = 0;
    for (int area = 0; area < kAreaCount; ++area) total += areaOf(v, area).size;
    return total;
}

// A whole copy, or null when memory for it (or for its clusters) is not there.
std::unique_ptr<VolumeState> copyOf(const VolumeState& volume) {
    std::unique_ptr<VolumeState> copy(new (std::nothrow) VolumeState);
    if (copy == nullptr) return copy;
    *copy = volume;
    if (copy->clusters.count() != volume.clusters.count()) copy.reset();
    return copy;
}

}  // namespace

EditJournal::EditJournal(size_t byteBound, int stepBound)
    : byteBound_(byteBound),
      stepBound_(static_cast<size_t>(std::max(stepBound, 1))),
      applied_(0),
      dropped_(0),
      saved_(0),
      heldBytes_(0) {}

EditJournal::~EditJournal() { clearSteps(); }

bool EditJournal::copyShadow(const VolumeState& volume) {
    shadow_.reset();  // the old copy's memory first, for the new one
    shadow_ = copyOf(volume);
    return shadow_ != nullptr;
}

bool EditJournal::reset(const VolumeState& volume) {
    clearSteps();
    dropped_ = 0;
    saved_ = 0;
    return copyShadow(volume);
}

bool EditJournal::record(const VolumeState& volume) {
    if (shadow_ == nullptr) {
        // Nothing to compare with: every record counts as an edit; a shadow may fit now.
        reset(volume);
        saved_ = kNoState;
        return true;
    }
    Step step;
    if (sameGeometry(volume, *shadow_)) {
        size_t total = 0;
        for (int area = 0; area < kAreaCount; ++area) {
            Area now = areaOf(volume, area), was = areaOf(*shadow_, area);
            for (size_t at = 0; at < now.size; at += now.unit) {
                size_t size = std::min(now.unit, now.size - at);
                if (std::memcmp(now.bytes + at, was.bytes + at, size) == 0) continue;
                step.changes.push_back({static_cast<uint8_t>(area), static_cast<uint32_t>(at),
                                        static_cast<uint32_t>(size)});
                total += size;
            }
        }
        if (step.changes.empty()) return false;
        step.bytes = hostEnv().allocateZeroed(total);
        if (step.bytes == nullptr) {
            reset(volume);
            saved_ = kNoState;
            return true;
        }
        step.size = total;
        size_t at = 0;
        for (const Change& c : step.changes) {
            uint8_t* shadowBytes = writable(*shadow_, c.area) + c.offset;
            std::memcpy(step.bytes + at, shadowBytes, c.size);
            std::memcpy(shadowBytes, areaOf(volume, c.area).bytes + c.offset, c.size);
            at += c.size;
        }
    } else {
        step.size = volumeBytes(*shadow_);
        step.whole = std::move(shadow_);
        if (!copyShadow(volume)) {
            step.whole.reset();
            reset(volume);
            saved_ = kNoState;
            return true;
        }
    }
    // A new step ends the undone ones; a saved state among them is out of reach.
    while (steps_.size() > applied_) {
        freeStep(steps_.back());
        steps_.pop_back();
    }
    if (saved_ > current()) saved_ = kNoState;
    heldBytes_ += step.size;
    steps_.push_back(std::move(step));
    ++applied_;
    trim();
    return true;
}

void EditJournal::trim() {
    while (steps_.size() > 1 && (steps_.size() > stepBound_ || heldBytes_ > byteBound_)) {
        freeStep(steps_.front());
        steps_.pop_front();
        ++dropped_;
        if (applied_ > 0) --applied_;
    }
    // A saved state dropped with its step keeps a number no state reaches again.
}

bool EditJournal::apply(Step& step, VolumeState& volume) {
    if (step.whole != nullptr) {
        std::unique_ptr<VolumeState> shadow = copyOf(*step.whole);
        if (shadow == nullptr) return false;
        VolumeState other(std::move(*step.whole));
        *step.whole = std::move(volume);
        volume = std::move(other);
        shadow_ = std::move(shadow);
        heldBytes_ -= step.size;
        step.size = volumeBytes(*step.whole);
        heldBytes_ += step.size;
        return true;
    }
    size_t at = 0;
    for (const Change& c : step.changes) {
        uint8_t* bytes = writable(volume, c.area) + c.offset;
        std::swap_ranges(bytes, bytes + c.size, step.bytes + at);
        if (shadow_ != nullptr) std::memcpy(writable(*shadow_, c.area) + c.offset, bytes, c.size);
        at += c.size;
    }
    return true;
}

bool EditJournal::undo(VolumeState& volume) {
    if (!canUndo() || !apply(steps_[applied_ - 1], volume)) return false;
    --applied_;
    return true;
}

bool EditJournal::redo(VolumeState& volume) {
    if (!canRedo() || !apply(steps_[applied_], volume)) return false;
    ++applied_;
    return true;
}

void EditJournal::absorb(const VolumeState& volume) {
    if (shadow_ == nullptr || !sameGeometry(volume, *shadow_)) return;
    for (int area = 0; area < kAreaCount; ++area) {
        Area now = areaOf(volume, area);
        if (now.size > 0) std::memcpy(writable(*shadow_, area), now.bytes, now.size);
    }
}

void EditJournal::freeStep(Step& step) {
    hostEnv().freeZeroed(step.bytes, step.size);
    step.bytes = nullptr;
    heldBytes_ -= step.size;
    step.size = 0;
    step.whole.reset();
}

void EditJournal::clearSteps() {
    for (Step& step : steps_) freeStep(step);
    steps_.clear();
    applied_ = 0;
}

// Undo and redo for the in-memory volume. The journal keeps a shadow copy of the volume as the
// last recorded edit left it. Recording compares the volume with the shadow unit by unit (512-byte
// pieces of the fixed areas and of the kept bytes, whole clusters) and keeps, as one step, the
// bytes of only the units that differ. A step always holds the side of its units that the volume
// does not hold now: undoing and redoing swap them in, so a step costs its changed bytes once.
// A change of geometry (another format read from a floppy) is kept as the whole previous volume.
#ifndef TOLVEN_IMAGE_EDIT_JOURNAL_H
#define TOLVEN_IMAGE_EDIT_JOURNAL_H

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

#include "image/volume_image.h"

// At most this many steps are kept, holding at most this many bytes between them (the shadow
// copy, one volume's size, comes on top); the oldest steps go first. The newest step is always
// kept: no single edit of a volume the image can hold comes near the byte bound.
const int kJournalStepBound = 100;
const size_t kJournalByteBound = 64u * 1024 * 1024;

class EditJournal {
public:
    explicit EditJournal(size_t byteBound = kJournalByteBound, int stepBound = kJournalStepBound);
    ~EditJournal();
    EditJournal(const EditJournal&) = delete;
    EditJournal& operator=(const EditJournal&) = delete;

    // Starts afresh on the volume as it is (opened, created or read): no steps, and this state
    // counts as saved. Without memory for the shadow the journal only tells whether an edit was
    // recorded since (nothing can be undone then); false in that case.
    bool reset(const VolumeState& volume);
    // Records what changed since the last record, reset, undo or redo as one step, cutting off
    // the steps that were undone. False when nothing changed. Without memory for the step the
    // journal starts afresh on the volume, which then counts as changed.
    bool record(const VolumeState& volume);
    bool canUndo() const { return applied_ > 0; }
    bool canRedo() const { return applied_ < steps_.size(); }
    // Put back the volume before the last applied step, or after the next undone one. False
    // with nothing to undo or redo, or (the volume then as before) no memory for a changed
    // geometry's shadow.
    bool undo(VolumeState& volume);
    bool redo(VolumeState& volume);
    // Takes what changed without being an edit (the FATs encoded by a save or a floppy write)
    // into the shadow, so that no later step holds it.
    void absorb(const VolumeState& volume);
    // The state now is the one on disk; undoing or redoing back to it clears the change mark.
    void markSaved() { saved_ = current(); }
    bool atSavedState() const { return saved_ == current(); }
    size_t stepCount() const { return steps_.size(); }
    size_t heldBytes() const { return heldBytes_; }

private:
    struct Change {
        uint8_t area;
        uint32_t offset;
        uint32_t size;
    };
    struct Step {
        std::vector<Change> changes;
        uint8_t* bytes = nullptr;  // the changes' bytes one after the other
        size_t size = 0;
        std::unique_ptr<VolumeState> whole;  // a changed geometry: the other volume entire
    };
    static const long long kNoState = -1;

    long long current() const { return dropped_ + static_cast<long long>(applied_); }
    bool apply(Step& step, VolumeState& volume);
    void freeStep(Step& step);
    void clearSteps();
    void trim();
    bool copyShadow(const VolumeState& volume);

    size_t byteBound_;
    size_t stepBound_;
    std::unique_ptr<VolumeState> shadow_;  // null without memory for it
    std::deque<Step> steps_;
    size_t applied_;     // steps_[0 .. applied_) are in the volume
    long long dropped_;  // steps dropped at the front: the number of the first state held
    long long saved_;    // the number of the state on disk, or kNoState when no step reaches it
    size_t heldBytes_;
};

#endif

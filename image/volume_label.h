// The one volume label rule, for the New dialog, the label field and `tolven-cli new --label`.
#ifndef TOLVEN_IMAGE_VOLUME_LABEL_H
#define TOLVEN_IMAGE_VOLUME_LABEL_H

#include <cstdint>

enum LabelCheck { kLabelOk, kLabelEmpty, kLabelInvalid, kLabelTooLong };

// Reads `text` as a label: leading and trailing blanks dropped (DOS keeps no leading blank, and
// the stored label is padded anyway), lower-case ASCII letters made upper case as the window's
// fields and DOS make them. kLabelInvalid when it holds a control character, a character beyond
// ASCII (labels are OEM text, and what the host typed would not read back the same) or one of
// * ? / \ | . , ; : + = [ ] < > "; kLabelTooLong above 11 characters; kLabelEmpty when nothing is
// left: the volume then has no label entry and "NO NAME" in its boot sector. `stored` (may be
// null) receives the 11 blank-padded bytes to store (kLabelOk) or "NO NAME    " (kLabelEmpty).
LabelCheck readVolumeLabel(const char* text, uint8_t* stored);

// A FAT date and time (platform/clock.h has their layout).
struct FatStamp {
    uint16_t date;
    uint16_t time;
};

// The moment a label entry records: the host's local time. FAT stores no time zone; DOS, Windows
// and mtools stamp every entry with the local time, so a label written here reads like the files
// beside it in each of them. A new volume's serial number is made from the same moment.
FatStamp labelStampNow();

// Puts the label's 11 stored bytes and `stamp` (as the last write) into the label entry.
void writeLabelEntry(uint8_t* entry, const uint8_t* label, FatStamp stamp);

#endif

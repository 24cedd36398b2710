// Reading Windows' answers to the raw volume calls: plain code, built and tested on every host.
#include "platform/floppy_drive.h"

namespace win32_answer {

namespace {
uint32_t le32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}
}  // namespace

// DISK_GEOMETRY: Cylinders (64 bits), MediaType, TracksPerCylinder, SectorsPerTrack,
// BytesPerSector, little-endian, 24 bytes on 32 and 64-bit Windows alike.
void decodeGeometries(const uint8_t* bytes, int count, MediaGeometry* records) {
    for (int i = 0; i < count; ++i) {
        const uint8_t* r = bytes + static_cast<uint32_t>(i) * kDiskGeometryBytes;
        records[i].cylinders = static_cast<uint64_t>(le32(r)) | static_cast<uint64_t>(le32(r + 4))
                                                                    << 32;
        records[i].mediaType = le32(r + 8);
        records[i].tracksPerCylinder = le32(r + 12);
        records[i].sectorsPerTrack = le32(r + 16);
        records[i].bytesPerSector = le32(r + 20);
    }
}

FloppyOpenError openError(uint32_t error) {
    if (error == kAccessDenied) return kOpenDenied;
    if (noDisk(error)) return kOpenNoDisk;
    return kOpenFailed;
}

bool mediaQueryAnswered(bool ok, uint32_t error, bool* moreData) {
    bool more = !ok && error == kMoreData;
    if (moreData != nullptr) *moreData = more;
    return ok;
}

// A drive whose driver does not know the query at all says nothing about the disk: only the
// drive's own "no disk" and "unknown medium" answers count.
DiskPresence diskPresence(bool ok, uint32_t error, uint32_t mediaType) {
    if (ok) return mediaType == kMediaUnknown ? kDiskUnrecognised : kDiskFound;
    return noDisk(error) ? kDiskAbsent : kDiskUnrecognised;
}

bool noDisk(uint32_t error) { return error == kNotReady || error == kNoMediaInDrive; }

FormatOutcome formatFailure(uint32_t error, bool ordered) {
    if (error == kWriteProtect) return kFormatWriteProtected;
    if (error == kInvalidFunction || error == kNotSupported || error == kInvalidParameter)
        return ordered ? kFormatOrderRefused : kFormatRefused;
    return kFormatFailed;
}

uint16_t formatGapLength(uint32_t mediaType) {
    switch (mediaType) {
    case kMediaF3_1Pt44_512: return 0x65;
    case kMediaF3_2Pt88_512: return 0x53;
    case kMediaF5_1Pt2_512: return 0x54;
    case kMediaF3_720_512:
    case kMediaF5_360_512:
    case kMediaF5_320_512:
    case kMediaF5_180_512:
    case kMediaF5_160_512: return 0x50;
    case kMediaF5_320_1024: return 0xF0;
    default: return 0;
    }
}

uint32_t driverTrackStagger(uint32_t mediaType) {
    switch (mediaType) {
    case kMediaF3_1Pt44_512: return 3;
    case kMediaF3_720_512: return 2;
    case kMediaF3_2Pt88_512: return 6;
    default: return 0;
    }
}

}  // namespace win32_answer

#include "image/disk_types.h"

#include <cstdio>

const char DiskTypeTable::fileSystemType[8] = {'F', 'A', 'T', '1', '2', ' ', ' ', ' '};
//                                                 720   820  1440  1680  1722  2880  160  180  320
//                                                 360  1200
const bool DiskTypeTable::threeAndHalfInch[] = {true,  true,  true,  true,  true, true,
                                                false, false, false, false, false};
const uint8_t DiskTypeTable::sectorsPerCluster[] = {2, 2, 1, 1, 1, 2, 2, 2, 2, 2, 1};
const uint16_t DiskTypeTable::rootEntries[] = {112, 112, 224, 224, 224, 240,
                                               112, 112, 112, 112, 224};
const uint16_t DiskTypeTable::totalSectors[] = {1440, 1640, 2880, 3360, 3444, 5760,
                                                320,  360,  640,  720,  2400};
const uint8_t DiskTypeTable::mediaDescriptor[] = {0xF9, 0xF9, 0xF0, 0xF0, 0xF0, 0xF0,
                                                  0xFD, 0xFD, 0xFD, 0xFD, 0xF9};
const uint16_t DiskTypeTable::sectorsPerFat[] = {3, 3, 9, 10, 10, 9, 1, 1, 1, 2, 7};
const uint16_t DiskTypeTable::sectorsPerTrack[] = {9, 10, 18, 21, 21, 36, 8, 9, 8, 9, 15};
const uint16_t DiskTypeTable::heads[] = {2, 2, 2, 2, 2, 2, 1, 1, 2, 2, 2};

namespace {

int kilobytesOf(int diskType) {
    return DiskTypeTable::totalSectors[diskType] * DiskTypeTable::bytesPerSector / 1024;
}

struct DiskTypeNames {
    char text[kDiskTypeCount][24];
    DiskTypeNames() {
        for (int i = 0; i < kDiskTypeCount; ++i)
            std::snprintf(text[i], sizeof text[i], "%s-inch %iKB",
                          DiskTypeTable::threeAndHalfInch[i] ? "3.5" : "5.25", kilobytesOf(i));
    }
};

}  // namespace

const char* diskTypeName(int diskType) {
    static const DiskTypeNames names;
    return diskType >= 0 && diskType < kDiskTypeCount ? names.text[diskType] : nullptr;
}

int diskTypeBySize(int kilobytes) {
    for (int i = 0; i < kDiskTypeCount; ++i)
        if (kilobytesOf(i) == kilobytes) return i;
    return -1;
}

bool isThreeAndHalfInchVolume(uint16_t totalSectors) {
    for (int i = 0; i < kDiskTypeCount; ++i)
        if (DiskTypeTable::threeAndHalfInch[i] && DiskTypeTable::totalSectors[i] == totalSectors)
            return true;
    return false;
}

#include "image/disk_types.h"

const char DiskTypeTable::fileSystemType[8] = {'F', 'A', 'T', '1', '2', ' ', ' ', ' '};
//                                                 720   820  1440  1680  1722  2880  160  180  320  360  1200
const uint8_t DiskTypeTable::sectorsPerCluster[] = {2, 2, 1, 1, 1, 2, 2, 2, 2, 2, 1};
const uint16_t DiskTypeTable::rootEntries[] = {112, 112, 224, 224, 224, 240, 112, 112, 112, 112, 224};
const uint16_t DiskTypeTable::totalSectors[] = {1440, 1640, 2880, 3360, 3444, 5760,
                                                320,  360,  640,  720,  2400};
const uint8_t DiskTypeTable::mediaDescriptor[] = {0xF9, 0xF9, 0xF0, 0xF0, 0xF0, 0xF0,
                                                  0xFD, 0xFD, 0xFD, 0xFD, 0xF9};
const uint16_t DiskTypeTable::sectorsPerFat[] = {3, 3, 9, 10, 10, 9, 1, 1, 1, 2, 7};
const uint16_t DiskTypeTable::sectorsPerTrack[] = {9, 10, 18, 21, 21, 36, 8, 9, 8, 9, 15};
const uint16_t DiskTypeTable::heads[] = {2, 2, 2, 2, 2, 2, 1, 1, 2, 2, 2};

namespace {
const char* const kNames[kDiskTypeCount] = {
    "3.5-inch 720KB",  "3.5-inch 820KB",  "3.5-inch 1440KB", "3.5-inch 1680KB",
    "3.5-inch 1722KB", "3.5-inch 2880KB", "5.25-inch 160KB", "5.25-inch 180KB",
    "5.25-inch 320KB", "5.25-inch 360KB", "5.25-inch 1200KB"};
}

const char* diskTypeName(int diskType) {
    return diskType >= 0 && diskType < kDiskTypeCount ? kNames[diskType] : nullptr;
}

int diskTypeBySize(int kilobytes) {
    for (int i = 0; i < kDiskTypeCount; ++i)
        if (DiskTypeTable::totalSectors[i] / 2 == kilobytes) return i;
    return -1;
}

#include "image/disk_types.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

const char DiskTypeTable::fileSystemType[8] = {'F', 'A', 'T', '1', '2', ' ', ' ', ' '};
// 720 820 1440 1680 1722 2880 | 160 180 320 360 1200 | DMF: 1680 2KB, 1680 1KB, 1722 2KB
const bool DiskTypeTable::threeAndHalfInch[] = {true,  true,  true,  true,  true, true, false,
                                                false, false, false, false, true, true, true};
const uint8_t DiskTypeTable::sectorsPerCluster[] = {2, 2, 1, 1, 1, 2, 2, 2, 2, 2, 1, 4, 2, 4};
const uint16_t DiskTypeTable::rootEntries[] = {112, 112, 224, 224, 224, 240, 112,
                                               112, 112, 112, 224, 16,  16,  16};
const uint16_t DiskTypeTable::totalSectors[] = {1440, 1640, 2880, 3360, 3444, 5760, 320,
                                                360,  640,  720,  2400, 3360, 3360, 3444};
const uint8_t DiskTypeTable::mediaDescriptor[] = {0xF9, 0xF9, 0xF0, 0xF0, 0xF0, 0xF0, 0xFD,
                                                  0xFD, 0xFD, 0xFD, 0xF9, 0xF0, 0xF0, 0xF0};
const uint16_t DiskTypeTable::sectorsPerFat[] = {3, 3, 9, 10, 10, 9, 1, 1, 1, 2, 7, 3, 5, 3};
const uint16_t DiskTypeTable::sectorsPerTrack[] = {9, 10, 18, 21, 21, 36, 8,
                                                   9, 8,  9,  15, 21, 21, 21};
const uint16_t DiskTypeTable::heads[] = {2, 2, 2, 2, 2, 2, 1, 1, 2, 2, 2, 2, 2, 2};

namespace {

int kilobytesOf(int diskType) {
    return DiskTypeTable::totalSectors[diskType] * DiskTypeTable::bytesPerSector / 1024;
}

struct DiskTypeNames {
    char text[kDiskTypeCount][48];
    DiskTypeNames() {
        for (int i = 0; i < kDiskTypeCount; ++i) {
            const char* inch = DiskTypeTable::threeAndHalfInch[i] ? "3.5" : "5.25";
            if (i < kFirstDmfType)
                std::snprintf(text[i], sizeof text[i], "%s-inch %iKB", inch, kilobytesOf(i));
            else
                std::snprintf(text[i], sizeof text[i], "%s-inch DMF %iKB %iKB-cluster", inch,
                              kilobytesOf(i), DiskTypeTable::sectorsPerCluster[i] / 2);
        }
    }
};

bool sameNameIgnoringCase(const char* a, const char* b) {
    for (; *a != '\0' && *b != '\0'; ++a, ++b) {
        char upper = *a >= 'a' && *a <= 'z' ? static_cast<char>(*a - 'a' + 'A') : *a;
        if (upper != *b) return false;
    }
    return *a == *b;
}

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

int diskTypeOfLayout(uint16_t totalSectors, uint8_t sectorsPerCluster, uint16_t rootEntries,
                     uint16_t sectorsPerFat) {
    for (int t = 0; t < kDiskTypeCount; ++t)
        if (DiskTypeTable::totalSectors[t] == totalSectors &&
            DiskTypeTable::sectorsPerCluster[t] == sectorsPerCluster &&
            DiskTypeTable::rootEntries[t] == rootEntries &&
            DiskTypeTable::sectorsPerFat[t] == sectorsPerFat)
            return t;
    return -1;
}

bool isThreeAndHalfInchVolume(uint16_t totalSectors) {
    for (int i = 0; i < kDiskTypeCount; ++i)
        if (DiskTypeTable::threeAndHalfInch[i] && DiskTypeTable::totalSectors[i] == totalSectors)
            return true;
    return false;
}

int parseDiskType(const char* text) {
    struct Named {
        const char* name;
        int type;
    };
    static const Named kNames[] = {{"DMF", kFirstDmfType},
                                   {"DMF2048", kFirstDmfType},
                                   {"DMF1024", kFirstDmfType + 1},
                                   {"DMF82", kFirstDmfType + 2}};
    for (const Named& n : kNames)
        if (sameNameIgnoringCase(text, n.name)) return n.type;
    char* end = nullptr;
    long value = std::strtol(text, &end, 10);
    if (end == text || value < 0) return -1;
    bool sizeSuffix = std::strcmp(end, "KB") == 0 || std::strcmp(end, "kb") == 0 ||
                      std::strcmp(end, "K") == 0 || std::strcmp(end, "k") == 0;
    if (*end == '\0' && value < kDiskTypeCount) return static_cast<int>(value);
    if (*end == '\0' || sizeSuffix)
        return value > 100000 ? -1 : diskTypeBySize(static_cast<int>(value));
    return -1;
}

// Small helpers that build FAT12 images byte by byte for the directory tests: a geometry, chains,
// short entries and long-name runs placed at exact slots.
#ifndef TOLVEN_TESTS_UNIT_IMAGE_BUILDER_H
#define TOLVEN_TESTS_UNIT_IMAGE_BUILDER_H

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "directory/dir_entry.h"
#include "image/boot_sector.h"
#include "image/volume_image.h"

namespace testimg {

// An empty image: 512-byte sectors, `sectorsPerCluster`, `rootEntries`, 1 reserved sector,
// 2 FATs of 9 sectors, `totalSectors` in all (2880 gives the 1440KB layout).
inline void build(VolumeImage& im, int sectorsPerCluster = 1, int rootEntries = 224,
                  int totalSectors = 2880) {
    im.reset();
    uint8_t* b = im.bootSector;
    writeLe16(b + bs::kBytesPerSector, 512);
    b[bs::kSectorsPerCluster] = static_cast<uint8_t>(sectorsPerCluster);
    writeLe16(b + bs::kReservedSectors, 1);
    b[bs::kNumberOfFats] = 2;
    writeLe16(b + bs::kRootEntries, static_cast<uint16_t>(rootEntries));
    writeLe16(b + bs::kTotalSectors, static_cast<uint16_t>(totalSectors));
    b[bs::kMediaDescriptor] = 0xF0;
    writeLe16(b + bs::kSectorsPerFat, 9);
    writeLe16(b + bs::kSignature, bs::kSignatureValue);
    im.computeGeometry();
    im.fat1[0] = 0xF0;
    im.fat1[1] = im.fat1[2] = 0xFF;
}

// Slot `index` of the root directory (cluster 0) or of data cluster `cluster`.
inline uint8_t* slot(VolumeImage& im, int cluster, int index) {
    if (cluster == 0) return im.rootDir + index * 32;
    return im.clusterData(static_cast<uint32_t>(cluster)) + index * 32;
}

// Links the clusters in order; the last gets 0xFFF.
inline void chain(VolumeImage& im, std::initializer_list<int> clusters) {
    const int* c = clusters.begin();
    for (size_t i = 0; i < clusters.size(); ++i)
        im.fatTable[c[i]] = static_cast<uint16_t>(i + 1 < clusters.size() ? c[i + 1] : 0xFFF);
}

// An 11-byte blank-padded short name from "NAME.EXT" ("." and ".." stay as they are).
inline std::string shortName(const char* name) {
    std::string out(11, ' ');
    if (name[0] == '.') {
        for (int i = 0; name[i] != '\0' && i < 8; ++i) out[i] = name[i];
        return out;
    }
    const char* dot = std::strchr(name, '.');
    size_t baseLen = dot ? static_cast<size_t>(dot - name) : std::strlen(name);
    for (size_t i = 0; i < baseLen && i < 8; ++i) out[i] = name[i];
    if (dot)
        for (size_t i = 0; dot[1 + i] != '\0' && i < 3; ++i) out[8 + i] = dot[1 + i];
    return out;
}

inline std::vector<uint8_t> shortEntry(const char* name, uint8_t attributes, int firstCluster,
                                       uint32_t size = 0, uint16_t date = 0x5821,
                                       uint16_t time = 0x6000) {
    std::vector<uint8_t> e(32, 0);
    std::string n = shortName(name);
    std::memcpy(e.data(), n.data(), 11);
    e[de::kAttributes] = attributes;
    writeLe16(e.data() + de::kTime, time);
    writeLe16(e.data() + de::kDate, date);
    writeLe16(e.data() + de::kFirstCluster, static_cast<uint16_t>(firstCluster));
    writeLe32(e.data() + de::kFileSize, size);
    return e;
}

// The long-name slots of `name` for short entry `entry`, in disk order (last piece first).
inline std::vector<std::vector<uint8_t>> longNameSlots(const std::u16string& name,
                                                       const std::vector<uint8_t>& entry) {
    int pieces = static_cast<int>((name.size() + 12) / 13);
    uint8_t sum = shortNameChecksum(entry.data());
    std::vector<std::vector<uint8_t>> out;
    for (int p = pieces; p >= 1; --p) {
        std::vector<uint8_t> s(32, 0);
        s[de::kSequence] = static_cast<uint8_t>(p | (p == pieces ? de::kLastPiece : 0));
        s[de::kAttributes] = de::kAttrLongName;
        s[de::kChecksum] = sum;
        static const int kOffsets[13] = {1, 3, 5, 7, 9, 14, 16, 18, 20, 22, 24, 28, 30};
        for (int u = 0; u < 13; ++u) {
            size_t at = static_cast<size_t>((p - 1) * 13 + u);
            uint16_t v = at < name.size() ? name[at] : (at == name.size() ? 0x0000 : 0xFFFF);
            writeLe16(s.data() + kOffsets[u], v);
        }
        out.push_back(s);
    }
    return out;
}

// Writes `slots` one after another starting at slot `index` of the folder whose chain begins
// with `firstCluster` (0: the root), crossing into the next clusters of the chain as needed.
// Returns the position after the last slot as a linear slot number.
inline int place(VolumeImage& im, int firstCluster, int index,
                 const std::vector<std::vector<uint8_t>>& slots) {
    for (const std::vector<uint8_t>& s : slots) {
        int cluster = firstCluster;
        int i = index;
        if (cluster != 0) {
            while (i >= im.entriesPerCluster) {
                i -= im.entriesPerCluster;
                cluster = im.fatTable[cluster];
            }
        }
        if (cluster != 0 && im.clusterData(static_cast<uint32_t>(cluster)) == nullptr) {
            ADD_FAILURE() << "slot " << index << " lies beyond the folder's chain";
            return index;
        }
        std::memcpy(slot(im, cluster, i), s.data(), 32);
        ++index;
    }
    return index;
}

// Places a long name (when `longName` is not empty) and its short entry; returns the next index.
inline int addEntry(VolumeImage& im, int folder, int index, const std::u16string& longName,
                    const std::vector<uint8_t>& entry) {
    std::vector<std::vector<uint8_t>> slots;
    if (!longName.empty()) slots = longNameSlots(longName, entry);
    slots.push_back(entry);
    return place(im, folder, index, slots);
}

// "." and ".." of a folder at `cluster` whose parent starts at `parent` (0 for the root).
inline void dotEntries(VolumeImage& im, int cluster, int parent) {
    place(im, cluster, 0,
          {shortEntry(".", de::kAttrDirectory, cluster),
           shortEntry("..", de::kAttrDirectory, parent)});
}

inline std::u16string wide(const uint8_t* name) {
    std::u16string out;
    for (int i = 0; i < kLongNameUnits && readLe16(name + 2 * i) != 0; ++i)
        out.push_back(static_cast<char16_t>(readLe16(name + 2 * i)));
    return out;
}

// One walked entry with everything the walker reports.
struct Walked {
    std::string shortName;  // 11 bytes as stored
    std::u16string longName;
    int32_t entryCluster, entryIndex, longNameCluster, longNameIndex;
    std::vector<uint8_t> raw;
};

// Walks a whole folder (bounded, so a walker fault fails the test rather than hanging it).
inline std::vector<Walked> walkAll(VolumeImage& im, uint16_t first, size_t limit = 100000) {
    std::vector<Walked> out;
    uint8_t entry[32];
    uint8_t name[kLongNameBytes];
    Walked w;
    uint8_t r = im.startWalk(first, entry, name, kLongNameBytes, w.entryCluster, w.entryIndex,
                             w.longNameCluster, w.longNameIndex);
    while (r == 1 && out.size() < limit) {
        w.shortName.assign(reinterpret_cast<char*>(entry), 11);
        w.longName = wide(name);
        w.raw.assign(entry, entry + 32);
        out.push_back(w);
        r = im.nextEntry(entry, name, kLongNameBytes, w.entryCluster, w.entryIndex,
                         w.longNameCluster, w.longNameIndex);
    }
    return out;
}

}  // namespace testimg

#endif

// Every byte and geometry field of an image, as one vector: what a failed or refused operation
// must leave as it was. Free of gtest, so that the fuzz targets use it too.
#ifndef TOLVEN_TESTS_UNIT_IMAGE_SNAPSHOT_H
#define TOLVEN_TESTS_UNIT_IMAGE_SNAPSHOT_H

#include <cstdint>
#include <vector>

#include "image/volume_image.h"

inline std::vector<uint8_t> snapshot(const VolumeImage& image) {
    std::vector<uint8_t> s;
    auto put = [&s](const void* p, size_t n) {
        const uint8_t* b = static_cast<const uint8_t*>(p);
        s.insert(s.end(), b, b + n);
    };
    put(image.bootSector, sizeof image.bootSector);
    put(image.fat1, sizeof image.fat1);
    put(image.fat2, sizeof image.fat2);
    put(image.fatTable, sizeof image.fatTable);
    put(image.rootDir, sizeof image.rootDir);
    put(&image.clusterBytes, sizeof image.clusterBytes);
    put(&image.entriesPerCluster, sizeof image.entriesPerCluster);
    put(&image.clusterCount, sizeof image.clusterCount);
    put(&image.dataSectors, sizeof image.dataSectors);
    for (int i = 0; i < image.clusterCount; ++i) put(image.clusters[i], image.clusterBytes);
    return s;
}

#endif

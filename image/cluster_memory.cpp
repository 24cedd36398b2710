#include "image/cluster_memory.h"

#include <cstdlib>

uint8_t* allocateZeroedClusters(size_t bytes) {
    return static_cast<uint8_t*>(std::calloc(bytes, 1));
}

void freeZeroedClusters(uint8_t* store) { std::free(store); }

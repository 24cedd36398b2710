// The memory of the volume's cluster stores.
#ifndef TOLVEN_IMAGE_CLUSTER_MEMORY_H
#define TOLVEN_IMAGE_CLUSTER_MEMORY_H

#include <cstddef>
#include <cstdint>

// `bytes` of zeroed memory, or null when it is not there. calloc hands a large block over as
// pages nobody has touched yet, which loading and saving can pass over (platform/host_memory.h).
// This file holds nothing else, so a test program can link its own pair in to make memory run out.
uint8_t* allocateZeroedClusters(size_t bytes);
void freeZeroedClusters(uint8_t* store);

#endif

// A volume's data clusters in one zeroed allocation (platform/host_env.h), in disk order:
// store[i] is cluster i + 2. Moving hands the buffer over, so putting a backup back needs no
// memory; copying allocates a buffer of its own.
#ifndef TOLVEN_IMAGE_CLUSTER_STORE_H
#define TOLVEN_IMAGE_CLUSTER_STORE_H

#include <cstddef>
#include <cstdint>

class ClusterStore {
public:
    ClusterStore() : data_(nullptr), count_(0), bytes_(0) {}
    ~ClusterStore() { release(); }
    ClusterStore(const ClusterStore&) = delete;
    ClusterStore(ClusterStore&& other) noexcept;
    ClusterStore& operator=(ClusterStore&& other) noexcept;
    // A copy that cannot get its memory holds no clusters: compare count() with the original's.
    ClusterStore& operator=(const ClusterStore& other);

    // `count` zeroed clusters of `bytes` each; false, holding none, when the memory is not there.
    bool allocate(int count, uint32_t bytes);
    void release();
    // Cluster i + 2, or null beyond the count.
    uint8_t* operator[](int i) const {
        return i >= 0 && i < count_ ? data_ + static_cast<size_t>(i) * bytes_ : nullptr;
    }
    uint8_t* data() const { return data_; }
    int count() const { return count_; }

private:
    uint8_t* data_;
    int count_;
    uint32_t bytes_;
};

#endif

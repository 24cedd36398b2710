#include "image/cluster_store.h"

#include <cstring>

#include "platform/host_env.h"

ClusterStore::ClusterStore(ClusterStore&& other) noexcept
    : data_(other.data_), count_(other.count_), bytes_(other.bytes_) {
    other.data_ = nullptr;
    other.count_ = 0;
}

ClusterStore& ClusterStore::operator=(ClusterStore&& other) noexcept {
    if (this != &other) {
        release();
        data_ = other.data_;
        count_ = other.count_;
        bytes_ = other.bytes_;
        other.data_ = nullptr;
        other.count_ = 0;
    }
    return *this;
}

ClusterStore& ClusterStore::operator=(const ClusterStore& other) {
    if (this != &other && allocate(other.count_, other.bytes_) && data_ != nullptr)
        std::memcpy(data_, other.data_, static_cast<size_t>(count_) * bytes_);
    return *this;
}

bool ClusterStore::allocate(int count, uint32_t bytes) {
    release();
    if (count <= 0) return true;
    data_ = hostEnv().allocateZeroed(static_cast<size_t>(count) * bytes);
    if (data_ == nullptr) return false;
    count_ = count;
    bytes_ = bytes;
    return true;
}

void ClusterStore::release() {
    hostEnv().freeZeroed(data_, static_cast<size_t>(count_) * bytes_);
    data_ = nullptr;
    count_ = 0;
}

#include "image/chain_cursor.h"

#include "image/volume_image.h"

namespace {

// The data cluster `cluster` links to; 0 when its link is anything else.
uint16_t nextData(const VolumeImage& image, uint16_t cluster) {
    ChainLink link = image.nextLink(cluster);
    return link.kind == kLinkData ? link.next : 0;
}

// The distinct clusters of the chain from data cluster `first`, by Brent's cycle finding: the
// hare runs ahead, the tortoise waits at powers of two. A chain without a loop is read once; a
// loop of `lambda` clusters behind `mu` others is found within about 2 (mu + lambda) links and
// `mu` is read once more.
int countChain(const VolumeImage& image, uint16_t first) {
    uint16_t tortoise = first;
    uint16_t hare = nextData(image, first);
    int length = 1;  // the chain's clusters up to the hare, the hare excluded
    int power = 1;
    int lambda = 1;
    while (hare != 0 && hare != tortoise) {
        if (power == lambda) {
            tortoise = hare;
            power *= 2;
            lambda = 0;
        }
        hare = nextData(image, hare);
        ++lambda;
        ++length;
    }
    if (hare == 0) return length;
    // A loop of `lambda` clusters: the clusters before it are those the tortoise walks from the
    // first cluster until it meets a hare that starts lambda clusters ahead.
    tortoise = hare = first;
    for (int i = 0; i < lambda; ++i) hare = nextData(image, hare);
    int mu = 0;
    while (tortoise != hare) {
        tortoise = nextData(image, tortoise);
        hare = nextData(image, hare);
        ++mu;
    }
    return mu + lambda;
}

}  // namespace

ChainCursor::ChainCursor()
    : image_(nullptr),
      cluster_(0),
      left_(0),
      looped_(false),
      linkRead_(false),
      link_{kLinkBroken, 0} {}

ChainCursor::ChainCursor(const VolumeImage& image, uint32_t first) : ChainCursor() {
    image_ = &image;
    if (!image.isDataCluster(first)) return;
    cluster_ = static_cast<uint16_t>(first);
    left_ = static_cast<uint16_t>(countChain(image, cluster_));
}

ChainLink ChainCursor::link() {
    if (cluster_ == 0) return ChainLink{kLinkBroken, 0};
    if (!linkRead_) {
        link_ = image_->nextLink(cluster_);
        linkRead_ = true;
    }
    return link_;
}

bool ChainCursor::advance() {
    if (cluster_ == 0) return false;
    ChainLink next = link();
    linkRead_ = false;
    --left_;
    if (next.kind == kLinkData && left_ == 0) looped_ = true;
    cluster_ = next.kind == kLinkData && left_ > 0 ? next.next : 0;
    return cluster_ != 0;
}

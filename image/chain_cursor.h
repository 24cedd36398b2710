// Walking a chain of clusters. Every walk along a chain (a folder's clusters, a file's data, a
// chain being freed) goes through a ChainCursor: each link is read once and classed once, and a
// chain that comes back to one of its clusters ends by the one rule below.
#ifndef TOLVEN_IMAGE_CHAIN_CURSOR_H
#define TOLVEN_IMAGE_CHAIN_CURSOR_H

#include <cstdint>

class VolumeImage;

// The link from a cluster of a chain to the next, as every walk of a chain reads it (see
// VolumeImage::nextLink).
enum LinkKind {
    kLinkData,    // `next` is a data cluster
    kLinkEnd,     // an end mark, 0xFF8-0xFFF: the chain ends here, as it should
    kLinkBad,     // 0xFF7: the cluster itself is marked bad
    kLinkBroken,  // 0, 1, 0xFF0-0xFF6 or beyond the last cluster: names no cluster of the image
};
struct ChainLink {
    LinkKind kind;
    uint16_t next;  // the stored value
};

// A walk along the chain that begins at a cluster, one cluster at a time:
//   for (ChainCursor c(image, first); c.atCluster(); c.advance()) ... c.cluster() ...
// The loop rule: when the cursor is made, it counts the chain's distinct clusters (Brent's cycle
// finding), and the walk takes at most that many. On a chain that does not change under the walk
// the cursor stands on every cluster once, in chain order, and a chain that comes back ends after
// the last cluster before the first one met again (looped() then says so). The count needs no
// memory and no state in the image, so walks nest and run side by side (marks per cluster shared
// by all walks are overwritten by a walk nested in another; a bound of clusterCount hops goes
// round a loop many times); it costs one more read of each link. A walk that changes its own
// chain as it goes (freeing the cluster it stands on, giving back a folder cluster) only takes
// clusters out of what lies ahead, and links are read as the cursor gets to them; the count bounds
// every walk whatever changes.
class ChainCursor {
public:
    // A cursor that stands on no cluster.
    ChainCursor();
    // Stands on `first`; on no cluster when `first` names no data cluster.
    ChainCursor(const VolumeImage& image, uint32_t first);

    bool atCluster() const { return cluster_ != 0; }
    uint16_t cluster() const { return cluster_; }
    // The current cluster's link, read from the FAT the first time it is asked for and kept: a
    // walk that frees the cluster afterwards still moves along the link it read.
    // kLinkBroken when the cursor stands on no cluster.
    ChainLink link();
    // Moves along link() to the next cluster: true there; false at the end of the chain (a link
    // other than kLinkData, or the chain coming back: looped()), the cursor then on no cluster.
    bool advance();
    // The walk ended because the chain came back to a cluster it had been on.
    bool looped() const { return looped_; }

private:
    const VolumeImage* image_;
    uint16_t cluster_;  // 0: on no cluster (0 is never a data cluster)
    uint16_t left_;     // clusters of the walk not yet left, the current one included
    bool looped_;
    bool linkRead_;
    ChainLink link_;
};

#endif

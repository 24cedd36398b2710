// The body the container readers' fuzz targets share: arbitrary bytes handed to one decoder
// either are refused with a message or give at most the largest image, with every sector it
// noted inside the image; what decodes encodes (when the container is written) and decodes
// again to the same bytes.
#ifndef TOLVEN_TESTS_FUZZ_CONTAINER_H
#define TOLVEN_TESTS_FUZZ_CONTAINER_H

#include "fuzz_support.h"
#include "image/container.h"

inline int fuzzContainer(ContainerKind kind, const uint8_t* data, size_t size) {
    static VolumeImage* image = new VolumeImage;
    std::vector<uint8_t> file(data, data + size);
    DecodedImage decoded;
    int result = kind == kContainerZip       ? decodeZip(*image, file, nullptr, &decoded)
                 : kind == kContainerGzip    ? decodeGzip(*image, file, &decoded)
                 : kind == kContainerImageDisk ? decodeImageDisk(*image, file, &decoded)
                                               : decodeTeledisk(*image, file, &decoded);
    FUZZ_CHECK(result == kResultOk || !image->isEmpty());
    image->clear();
    if (result != kResultOk) return 0;
    FUZZ_CHECK(decoded.bytes.size() <= kMaxContainerImageBytes);
    for (uint32_t offset : decoded.missingSectors) FUZZ_CHECK(offset < decoded.bytes.size());
    for (uint32_t offset : decoded.badSectors) FUZZ_CHECK(offset < decoded.bytes.size());
    FUZZ_CHECK(decoded.missingSectors.empty() || !decoded.trackProblem.empty());
    if (kind == kContainerTeledisk || kind == kContainerImageDisk) return 0;
    std::vector<uint8_t> encoded;
    image->container = decoded.state;
    FUZZ_CHECK((kind == kContainerZip ? encodeZip(*image, decoded.bytes, decoded.state.member, &encoded)
                                      : encodeGzip(*image, decoded.bytes, &encoded)) == kResultOk);
    DecodedImage again;
    FUZZ_CHECK((kind == kContainerZip ? decodeZip(*image, encoded, decoded.state.member.c_str(), &again)
                                      : decodeGzip(*image, encoded, &again)) == kResultOk);
    FUZZ_CHECK(again.bytes == decoded.bytes);
    image->container = ContainerState();
    return 0;
}

#endif

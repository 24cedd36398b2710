// Arbitrary bytes as a container file of this kind (see fuzz_container.h).
#include "fuzz_container.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return fuzzContainer(kContainerGzip, data, size);
}

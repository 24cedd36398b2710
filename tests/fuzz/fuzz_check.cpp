// Check, repair, check again on any image that loads: the check changes nothing, the repair
// always ends clean (or, refusing, leaves the image as it was), and the repaired image, saved and
// loaded again, is still clean with every cluster counted once.
#include <string>
#include <vector>

#include "directory/disk_check.h"
#include "fuzz_support.h"
#include "tests/unit/image_snapshot.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static VolumeImage* image = new VolumeImage;
    std::string input = fuzz_support::writeInput("check.img", data, size);
    image->reset();
    if (image->loadImageFile(input.c_str()) != kResultOk) {
        image->clear();
        return 0;
    }
    std::vector<uint8_t> before = snapshot(*image);
    DiskCheck first;
    checkImage(*image, &first);
    FUZZ_CHECK(snapshot(*image) == before);

    DiskCheck found;
    int result = repairImage(*image, &found);
    FUZZ_CHECK(found.findings.size() == first.findings.size());
    FUZZ_CHECK(result == kResultOk);
    DiskCheck after;
    checkImage(*image, &after);
    FUZZ_CHECK(after.clean());
    fuzz_support::checkCounts(*image);

    std::string saved = fuzz_support::scratchDir() + "repaired.img";
    FUZZ_CHECK(image->saveImageFile(saved.c_str(), kContainerRaw) == kResultOk);
    image->reset();
    FUZZ_CHECK(image->loadImageFile(saved.c_str()) == kResultOk);
    checkImage(*image, &after);
    FUZZ_CHECK(after.clean());
    image->clear();
    return 0;
}

// A loaded image extracted whole into a fresh folder, once as one folder tree and once entry by
// entry as the Extract command does with the list's names: nothing may appear anywhere else in
// the scratch folder (extraction happens four levels below it, so names such as "..\.." or
// "../x" that climb out are seen), nothing extracted may be a link, and the image stays unchanged.
#include <cstring>
#include <filesystem>
#include <vector>

#include "fuzz_support.h"

namespace fs = std::filesystem;

static std::vector<uint8_t> imageBytes(const VolumeImage& image) {
    std::vector<uint8_t> s(image.rootDir, image.rootDir + sizeof image.rootDir);
    s.insert(s.end(), reinterpret_cast<const uint8_t*>(image.fatTable),
             reinterpret_cast<const uint8_t*>(image.fatTable + kFatTableEntries));
    for (int i = 0; i < image.clusterCount; ++i)
        s.insert(s.end(), image.clusters[i], image.clusters[i] + image.clusterBytes);
    return s;
}

// Everything in the scratch folder but the input, the folders that lead to the targets, and what
// is inside the targets.
static std::vector<fs::path> strays(const fs::path& input, const std::vector<fs::path>& targets) {
    std::vector<fs::path> allowed = {input};
    for (const fs::path& target : targets)
        for (fs::path p = target; p != p.parent_path() && p.string().size() > 1;
             p = p.parent_path())
            allowed.push_back(p);
    std::vector<fs::path> out;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(fuzz_support::scratchDir(), ec);
         !ec && it != fs::end(it); it.increment(ec)) {
        for (const fs::path& target : targets)
            if (it->path() == target) it.disable_recursion_pending();
        bool ok = false;
        for (const fs::path& a : allowed) ok = ok || it->path() == a;
        if (!ok) out.push_back(it->path());
    }
    return out;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static VolumeImage* image = new VolumeImage;
    std::string input = fuzz_support::writeInput("extract.img", data, size);
    fs::path base = fs::path(fuzz_support::scratchDir()) / "x";
    fs::path target = base / "a" / "b" / "c" / "out";
    fs::path listed = base / "a" / "b" / "c" / "list";
    std::error_code ec;
    fs::remove_all(base, ec);
    fs::create_directories(listed);

    image->reset();
    int loaded = image->loadImageFile(input.c_str());
    image->clear();
    if (loaded != kResultOk) return 0;

    std::vector<uint8_t> before = imageBytes(*image);
    int result = image->extractFolder(0, target.string().c_str());
    image->clear();
    // 680: cross-linked chains past the bound on what one extraction writes.
    FUZZ_CHECK(result == kResultOk || result == kResultHostIo || result == kResultDamaged);
    FUZZ_CHECK(imageBytes(*image) == before);

    // The Extract command on every root entry.
    fuzz_support::WalkedEntry e;
    uint8_t more = image->startWalk(0, e.entry, e.longName, kLongNameBytes, e.entryCluster,
                                    e.entryIndex, e.longNameCluster, e.longNameIndex);
    while (more) {
        uint16_t longName[kLongNameUnits];
        std::memcpy(longName, e.longName, sizeof longName);
        WalkCursor cursor = image->saveCursor();
        result = image->extractEntry(e.entry, longName, listed.string().c_str());
        image->restoreCursor(cursor);
        // 620: an entry of a name an earlier one already took there (refused, not overwritten).
        FUZZ_CHECK(result == kResultOk || result == kResultHostIo || result == kResultDamaged ||
                   result == kResultNameExists);
        more = image->nextEntry(e.entry, e.longName, kLongNameBytes, e.entryCluster, e.entryIndex,
                                e.longNameCluster, e.longNameIndex);
    }
    image->clear();
    FUZZ_CHECK(imageBytes(*image) == before);

    for (const fs::path& p : strays(input, {target, listed})) {
        std::fprintf(stderr, "created outside the target folder: %s\n", p.c_str());
        FUZZ_CHECK(false);
    }
    for (auto it = fs::recursive_directory_iterator(base, ec); !ec && it != fs::end(it);
         it.increment(ec))
        FUZZ_CHECK(!it->is_symlink());
    fs::remove_all(base, ec);
    return 0;
}

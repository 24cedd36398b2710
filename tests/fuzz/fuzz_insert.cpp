// Host files and folders inserted into a loaded, possibly damaged image: into the root and into
// the first folders the walker finds. A refused insertion leaves the image byte for byte as it
// was; an accepted file can be found by the walker in its folder, and its chain ends properly and
// holds exactly the host file's bytes. Deletion-style bounds hold too: no FAT entry beyond the
// data clusters changes, and the counts keep covering every cluster. Then the entries of those
// folders are renamed, whole or not at all, as insertion. All the files in one operation give the
// image one operation per file gives. An accepted entry leaves every entry that was there with its
// bytes and chain (the target's chain may only grow).
#include <cstring>
#include <string>
#include <vector>

#include "directory/folder_walk.h"
#include "directory/image_path.h"
#include "fuzz_support.h"
#include "tests/unit/image_snapshot.h"

namespace {

struct HostFile {
    const char* name;
    size_t size;
};
const HostFile kFiles[] = {
    {"small.txt", 13}, {"A long name with spaces.text", 3000}, {"EMPTY", 0}, {"data.bin", 9000}};

std::string hostFolder() { return fuzz_support::scratchDir() + "host/"; }

std::vector<uint8_t> content(size_t size, size_t seed) {
    std::vector<uint8_t> bytes(size);
    for (size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<uint8_t>((i * 7 + seed * 31) ^ (i >> 8));
    return bytes;
}

void writeHost(const std::string& path, const std::vector<uint8_t>& bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    FUZZ_CHECK(f != nullptr);
    if (!bytes.empty()) FUZZ_CHECK(std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size());
    std::fclose(f);
}

// The host side, made once: the files above, and a folder "tree" holding two files and a folder.
void makeHostFiles() {
    std::filesystem::create_directories(hostFolder() + "tree/sub");
    for (size_t i = 0; i < sizeof kFiles / sizeof kFiles[0]; ++i)
        writeHost(hostFolder() + kFiles[i].name, content(kFiles[i].size, i));
    writeHost(hostFolder() + "tree/a.txt", content(100, 7));
    writeHost(hostFolder() + "tree/sub/Nested file.bin", content(2500, 8));
}

std::vector<uint16_t> beyondData(const VolumeImage& image) {
    std::vector<uint16_t> s(image.fatTable, image.fatTable + 2);
    s.insert(s.end(), image.fatTable + image.clusterCount + 2, image.fatTable + kFatTableEntries);
    return s;
}

// Lookup's own match (long name or 8.3 name, ignoring case), as rm and extract find entries.
bool sameName(const fuzz_support::WalkedEntry& e, const char* name) {
    uint16_t wide[kLongNameUnits + 1] = {};
    for (size_t i = 0; name[i] != '\0' && i < static_cast<size_t>(kLongNameUnits); ++i)
        wide[i] = static_cast<uint8_t>(name[i]);
    uint16_t longName[kLongNameUnits];
    for (int i = 0; i < kLongNameUnits; ++i) longName[i] = readLe16(e.longName + 2 * i);
    return imageNameMatches(e.entry, longName, wide);
}

// The entry `name` of the folder, found by a walk of that folder alone.
bool findEntry(VolumeImage& image, uint16_t folder, const char* name,
               fuzz_support::WalkedEntry* out) {
    fuzz_support::WalkedEntry& e = *out;
    uint8_t more = image.startWalk(folder, e.entry, e.longName, kLongNameBytes, e.entryCluster,
                                   e.entryIndex, e.longNameCluster, e.longNameIndex);
    while (more) {
        if (sameName(e, name)) return true;
        more = image.nextEntry(e.entry, e.longName, kLongNameBytes, e.entryCluster, e.entryIndex,
                               e.longNameCluster, e.longNameIndex);
    }
    return false;
}

// The chain of an inserted file: as many clusters as its size needs, each used once, ending in
// 0xFFF, holding the file's bytes.
void checkFileData(const VolumeImage& image, const uint8_t* entry,
                   const std::vector<uint8_t>& bytes) {
    FUZZ_CHECK(readLe32(entry + de::kFileSize) == bytes.size());
    uint16_t cluster = readLe16(entry + de::kFirstCluster);
    if (bytes.empty()) {
        FUZZ_CHECK(cluster == 0);
        return;
    }
    size_t done = 0;
    int links = 0;
    while (done < bytes.size()) {
        const uint8_t* data = image.clusterData(cluster);
        FUZZ_CHECK(data != nullptr && ++links <= image.clusterCount);
        size_t n = bytes.size() - done < image.clusterBytes ? bytes.size() - done
                                                            : image.clusterBytes;
        FUZZ_CHECK(std::memcmp(data, bytes.data() + done, n) == 0);
        done += n;
        uint16_t next = image.fatTable[cluster];
        if (done == bytes.size()) FUZZ_CHECK(next == 0xFFF);
        cluster = next;
    }
}

void insertInto(VolumeImage& image, uint16_t folder) {
    for (size_t i = 0; i < sizeof kFiles / sizeof kFiles[0]; ++i) {
        std::vector<uint8_t> before = snapshot(image);
        std::vector<uint16_t> fixed = beyondData(image);
        fuzz_support::Survey entries = fuzz_support::survey(image);
        std::string path = hostFolder() + kFiles[i].name;
        int result = image.insertHostFile(folder, path.c_str(), kFiles[i].name);
        image.clear();
        if (result != kResultOk) {
            FUZZ_CHECK(snapshot(image) == before);
            continue;
        }
        FUZZ_CHECK(beyondData(image) == fixed);
        fuzz_support::checkCounts(image);
        fuzz_support::checkUnchanged(entries, fuzz_support::survey(image), folder, true);
        fuzz_support::WalkedEntry e;
        FUZZ_CHECK(findEntry(image, folder, kFiles[i].name, &e));
        checkFileData(image, e.entry, content(kFiles[i].size, i));
    }
    std::vector<uint16_t> fixed = beyondData(image);
    fuzz_support::Survey entries = fuzz_support::survey(image);
    int inserted = 0;
    std::string tree = hostFolder() + "tree";
    image.insertHostPath(folder, tree.c_str(), &inserted);
    image.clear();
    FUZZ_CHECK(beyondData(image) == fixed);
    fuzz_support::checkUnchanged(entries, fuzz_support::survey(image), folder, true);
    fuzz_support::checkCounts(image);
}

// Renames the first entries of the folder: a refused one leaves every byte; a renamed one is
// found under its new name with its attributes, times, first cluster and size.
void renameIn(VolumeImage& image, uint16_t folder) {
    std::vector<WalkedEntry> listed;
    forEachEntry(image, folder, [&](const WalkedEntry& e) {
        listed.push_back(e);
        return listed.size() == 6;
    });
    for (size_t i = 0; i < listed.size(); ++i) {
        const WalkedEntry& w = listed[i];
        std::string name = "Renamed entry number " + std::to_string(i);
        std::vector<uint8_t> before = snapshot(image);
        int result = image.renameEntry(folder, w.entryCluster, w.entryIndex, w.longNameCluster,
                                       w.longNameIndex, name.c_str());
        image.clear();
        fuzz_support::WalkedEntry found;
        bool kept = result == kResultOk ? findEntry(image, folder, name.c_str(), &found) &&
                                              found.entry[11] == w.entry[11] &&
                                              std::memcmp(found.entry + 13, w.entry + 13, 19) == 0
                                        : snapshot(image) == before;
        FUZZ_CHECK(kept);
    }
}

// The files inserted into each target in one operation give the image that one operation per
// file gives: what an operation keeps from entry to entry stays true on any image.
void sameInOneOperation(const std::string& input, const std::vector<uint16_t>& targets) {
    static VolumeImage* once = new VolumeImage;
    static VolumeImage* each = new VolumeImage;
    once->reset();
    each->reset();
    bool loaded = once->loadImageFile(input.c_str()) == kResultOk &&
                  each->loadImageFile(input.c_str()) == kResultOk;
    std::string selection = hostFolder() + '\0';
    for (const HostFile& f : kFiles) selection += std::string(f.name) + '\0';
    for (size_t t = 0; loaded && t < targets.size(); ++t) {
        once->insertFiles(targets[t], selection.c_str(), nullptr);
        for (const HostFile& f : kFiles)
            each->insertHostFile(targets[t], (hostFolder() + f.name).c_str(), f.name);
        FUZZ_CHECK(snapshot(*once) == snapshot(*each));
    }
    once->clear();
    each->clear();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static VolumeImage* image = new VolumeImage;
    static bool made = (makeHostFiles(), true);
    (void)made;
    std::string input = fuzz_support::writeInput("insert.img", data, size);
    image->reset();
    if (image->loadImageFile(input.c_str()) != kResultOk) {
        image->clear();
        return 0;
    }
    // The root and the first three folders of the tree, as found before anything goes in.
    std::vector<uint16_t> targets = {0};
    for (const fuzz_support::WalkedEntry& e : fuzz_support::walkAll(*image)) {
        if (targets.size() >= 4) break;
        if (fuzz_support::isFolder(e.entry) && !isDotEntry(e.entry))
            targets.push_back(readLe16(e.entry + de::kFirstCluster));
    }
    for (uint16_t folder : targets) insertInto(*image, folder);
    for (uint16_t folder : targets) renameIn(*image, folder);
    // Whatever went in, every folder still walks to an end.
    fuzz_support::walkAll(*image);
    sameInOneOperation(input, targets);
    return 0;
}

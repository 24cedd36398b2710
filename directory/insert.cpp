// Insertion of one entry (a host file or a new folder) into a folder of the image. All checks and
// the search for slots and clusters come first; the image is changed only once the whole entry is
// sure to fit, so a refused entry leaves every byte as it was.
#include <cstring>
#include <string>
#include <vector>

#include "directory/dir_entry.h"
#include "directory/entry_names.h"
#include "directory/image_path.h"
#include "directory/insert_space.h"
#include "directory/name_clash.h"
#include "image/boot_sector.h"
#include "image/volume_image.h"
#include "platform/host_folder.h"
#include "platform/host_text.h"

namespace {

struct NewEntry {
    uint8_t attributes;
    uint16_t date;
    uint16_t time;
    HostSource* source;    // the open file whose bytes go in; null for a folder
    const char* hostPath;  // its path, for messages
    uint64_t hostSize;
};

int refuse(VolumeImage& image, int code, const char* format, const char* subject) {
    image.queueMessage(format, subject);
    return code;
}

void fillShortEntry(uint8_t* slot, const uint8_t* shortName, const NewEntry& entry,
                    uint16_t firstCluster, uint32_t size) {
    std::memset(slot, 0, de::kSize);
    std::memcpy(slot + de::kName, shortName, 11);
    slot[de::kAttributes] = entry.attributes;
    // Creation and last access get the last write time too, as a copy on the host would show.
    writeLe16(slot + de::kCreationTime, entry.time);
    writeLe16(slot + de::kCreationDate, entry.date);
    writeLe16(slot + de::kAccessDate, entry.date);
    writeLe16(slot + de::kTime, entry.time);
    writeLe16(slot + de::kDate, entry.date);
    writeLe16(slot + de::kFirstCluster, firstCluster);
    writeLe32(slot + de::kFileSize, size);
}

void writeDotEntries(VolumeImage& image, uint16_t cluster, uint16_t parent, const NewEntry& entry) {
    uint8_t* data = image.clusterData(cluster);
    std::memset(data, 0, image.clusterBytes);
    fillShortEntry(data, reinterpret_cast<const uint8_t*>(".          "), entry, cluster, 0);
    fillShortEntry(data + de::kSize, reinterpret_cast<const uint8_t*>("..         "), entry, parent,
                   0);
}

int clustersFor(const VolumeImage& image, uint64_t bytes) {
    return static_cast<int>((bytes + image.clusterBytes - 1) / image.clusterBytes);
}

// Reads the file's bytes straight into its clusters; `*size` receives how many arrived. The tail
// of the last cluster is cleared later, once the entry is sure to go in.
bool readFileData(VolumeImage& image, HostSource& source, const uint16_t* chain, int count,
                  uint64_t* size) {
    std::vector<uint8_t*> pieces(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) pieces[static_cast<size_t>(i)] = image.clusterData(chain[i]);
    return source.read(pieces.data(), count, image.clusterBytes, *size, size);
}

// A folder whose slots may be another entry's data is not written into.
int checkFolderSound(InsertRun& op, VolumeImage& image, uint16_t folderCluster, const char* name) {
    InsertRun::FolderState state = op.folderState(folderCluster);
    if (state == InsertRun::kFolderShared)
        return refuse(image, kResultDamaged,
                      "Could not insert \"%s\": its folder shares its clusters with another "
                      "entry! Run Check disk to repair it.",
                      name);
    if (state == InsertRun::kFolderNoDots)
        return refuse(image, kResultDamaged,
                      "Could not insert \"%s\": its folder does not begin with \".\" and "
                      "\"..\"! Run Check disk to repair it.",
                      name);
    return kResultOk;
}

// Puts one entry named `name` (a host name) into the folder. `*firstCluster` receives the entry's
// first cluster.
int addEntry(InsertRun& op, VolumeImage& image, uint16_t folderCluster, const char* name,
             const NewEntry& entry, uint16_t* firstCluster) {
    EntryName planned;
    int named = checkEntryName(image, name, &planned);
    if (named != kResultOk) return named;
    int sound = checkFolderSound(op, image, folderCluster, name);
    if (sound != kResultOk) return sound;
    CachedFolder* folder = op.folder(folderCluster);
    if (folder == nullptr)
        return refuse(image, kResultDirectoryFull, "Directory is full, could not insert \"%s\"!",
                      name);
    named = placeEntryName(image, folder->names, name, &planned);
    if (named != kResultOk) return named;
    int longSlots = planned.longSlots;
    SlotRun run;
    if (!findSlotRun(image, folder->slots, longSlots + 1, &run))
        return refuse(image, kResultDirectoryFull, "Directory is full, could not insert \"%s\"!",
                      name);

    // Clusters: the folder's growth first, then the entry's own. The room is checked against the
    // size of the open file before anything is read. The file is read straight into the free
    // clusters found for it, which nothing references until the entry goes in: a read that fails
    // half-way leaves what it read there and the volume as it was. A file that has shrunk since it
    // was opened keeps what was read, in fewer clusters.
    uint64_t capacity = static_cast<uint64_t>(image.clusterCount) * image.clusterBytes;
    std::vector<uint16_t> clusters;
    uint64_t size = 0;
    int ownClusters = 1;
    if (entry.source != nullptr) {
        size = entry.hostSize;
        ownClusters = clustersFor(image, size);
        if (size > capacity || !op.findFreeClusters(run.growClusters + ownClusters, &clusters))
            return refuse(image, kResultNoSpace, "Not enough free space on image for \"%s\"!",
                          name);
        if (!readFileData(image, *entry.source, clusters.data() + run.growClusters, ownClusters,
                          &size))
            return refuse(image, kResultHostIo, "Could not read file \"%s\"!", entry.hostPath);
        ownClusters = clustersFor(image, size);
        clusters.resize(static_cast<size_t>(run.growClusters + ownClusters));
    } else if (!op.findFreeClusters(run.growClusters + ownClusters, &clusters)) {
        return refuse(image, kResultNoSpace, "Not enough free space on image for \"%s\"!", name);
    }

    // Everything fits: from here on nothing can fail.
    op.beforeWrite(*folder, run, longSlots + 1);
    growFolder(image, &folder->slots, clusters.data(), run.growClusters);
    const uint16_t* own = clusters.data() + run.growClusters;
    uint16_t first = ownClusters > 0 ? own[0] : 0;
    linkClusters(image, own, ownClusters);
    uint32_t tail = static_cast<uint32_t>(size % image.clusterBytes);
    if (entry.source == nullptr) writeDotEntries(image, first, folderCluster, entry);
    else if (tail != 0)
        std::memset(image.clusterData(own[ownClusters - 1]) + tail, 0, image.clusterBytes - tail);

    uint8_t shortEntry[de::kSize];
    fillShortEntry(shortEntry, planned.shortName, entry, first, static_cast<uint32_t>(size));
    std::vector<uint8_t> slots(static_cast<size_t>(longSlots + 1) * de::kSize);
    buildEntrySlots(planned, shortEntry, slots.data());
    for (int i = 0; i <= longSlots; ++i)
        std::memcpy(folderSlot(image, folder->slots, run.start + i), slots.data() + i * de::kSize,
                    de::kSize);
    keepRootEnd(image, folder->slots, run.start, longSlots + 1);
    op.afterWrite(folder, run, longSlots + 1, planned.shortName,
                  planned.withLongName ? planned.longName : std::u16string());
    *firstCluster = first;
    return kResultOk;
}

// The old file's chain, when only its entry reaches it; false (queued) when another entry's
// chain reaches it too, whose data a replacement would free.
bool ownedChain(InsertRun& op, VolumeImage& image, const ImagePathEntry& old, const char* name,
                std::vector<uint16_t>* chain) {
    uint16_t first = readLe16(old.entry + de::kFirstCluster);
    if (!image.isDataCluster(first)) return true;
    if (!op.ownsChain(old.entryCluster, old.entryIndex, first)) {
        refuse(image, kResultDamaged,
               "Could not replace \"%s\": its clusters are shared with another entry! Run Check "
               "disk to repair it.",
               name);
        return false;
    }
    for (ChainCursor c(image, first); c.atCluster(); c.advance()) chain->push_back(c.cluster());
    return true;
}

void freeChain(InsertRun& op, VolumeImage& image, std::vector<uint16_t>* chain) {
    for (uint16_t c : *chain) image.setLink(c, 0);
    op.release(*chain);
    chain->clear();
}

// Replaces the data of the file entry `old` with the host file's, keeping its name and slots. The
// new data goes into free clusters first; only when too few are free is the file read into memory
// and the old clusters given back before it is written. Either way a failure leaves the old file.
int replaceFile(InsertRun& op, VolumeImage& image, uint16_t folderCluster,
                const ImagePathEntry& old, const NewEntry& entry, const char* name) {
    int sound = checkFolderSound(op, image, folderCluster, name);
    if (sound != kResultOk) return sound;
    std::vector<uint16_t> oldChain;
    if (!ownedChain(op, image, old, name, &oldChain)) return kResultDamaged;
    uint64_t size = entry.hostSize;
    uint64_t capacity = static_cast<uint64_t>(image.clusterCount) * image.clusterBytes;
    int need = clustersFor(image, size);
    std::vector<uint16_t> clusters;
    if (size > capacity)
        return refuse(image, kResultNoSpace, "Not enough free space on image for \"%s\"!", name);
    if (op.findFreeClusters(need, &clusters)) {
        if (!readFileData(image, *entry.source, clusters.data(), need, &size))
            return refuse(image, kResultHostIo, "Could not read file \"%s\"!", entry.hostPath);
    } else {
        if (clusters.size() + oldChain.size() < static_cast<size_t>(need))
            return refuse(image, kResultNoSpace, "Not enough free space on image for \"%s\"!",
                          name);
        std::vector<uint8_t> data(static_cast<size_t>(need) * image.clusterBytes);
        std::vector<uint8_t*> pieces;
        for (size_t i = 0; i < static_cast<size_t>(need); ++i)
            pieces.push_back(data.data() + i * image.clusterBytes);
        if (!entry.source->read(pieces.data(), need, image.clusterBytes, size, &size))
            return refuse(image, kResultHostIo, "Could not read file \"%s\"!", entry.hostPath);
        freeChain(op, image, &oldChain);
        op.findFreeClusters(clustersFor(image, size), &clusters);
        for (int i = 0; i < clustersFor(image, size); ++i)
            std::memcpy(image.clusterData(clusters[static_cast<size_t>(i)]),
                        pieces[static_cast<size_t>(i)],
                        image.clusterBytes);
    }
    int own = clustersFor(image, size);
    linkClusters(image, clusters.data(), own);
    uint32_t tail = static_cast<uint32_t>(size % image.clusterBytes);
    if (tail != 0)
        std::memset(image.clusterData(clusters[static_cast<size_t>(own - 1)]) + tail, 0,
                    image.clusterBytes - tail);
    freeChain(op, image, &oldChain);
    // The name, its case flags and its long-name slots stay; the rest is the new file's.
    uint8_t* slot = entrySlot(image, old.entryCluster, old.entryIndex);
    uint8_t shortName[11];
    std::memcpy(shortName, slot + de::kName, 11);
    uint8_t caseFlags = slot[de::kNameCase];
    fillShortEntry(slot, shortName, entry, own > 0 ? clusters[0] : 0, static_cast<uint32_t>(size));
    slot[de::kNameCase] = caseFlags;
    return kResultOk;
}

// What settling a taken name left to do.
struct ClashOutcome {
    bool done = false;        // skipped, replaced or refused
    std::string name;         // else the name to insert under (numbered for Keep both)
    bool merge = false;       // a folder goes into the folder of its name: its contents do
    uint16_t mergeInto = 0;
};

ClashPolicy askClash(InsertClash& clash, const ImagePathEntry& old, bool newIsFolder) {
    if (clash.policy != kClashAsk) return clash.policy;
    bool forAll = false;
    ClashAnswer answer =
        clash.ask ? clash.ask(imageEntryName(old.entry, old.longName), isFolderEntry(old.entry),
                              newIsFolder, &forAll)
                  : kClashAnswerCancel;
    ClashPolicy policy = answer == kClashAnswerReplace    ? kClashReplace
                         : answer == kClashAnswerKeepBoth ? kClashKeepBoth
                         : answer == kClashAnswerSkip     ? kClashSkip
                                                          : kClashAsk;
    if (policy == kClashAsk) clash.cancelled = true;
    else if (forAll) clash.policy = policy;
    return policy;
}

// The operation's clash policy for an entry `name` that the folder may hold already. `entry` is
// the new file (its source set) or folder. The result is a refusal, or 0 with `out` saying what
// is left.
int settleClash(InsertRun& op, VolumeImage& image, uint16_t folderCluster, const char* name,
                const NewEntry& entry, int* inserted, ClashOutcome* out) {
    out->name = name;
    InsertClash* clash = op.clash;
    if (clash == nullptr || clash->policy == kClashRefuse) return kResultOk;  // addEntry refuses
    EntryName planned;
    CachedFolder* folder = op.folder(folderCluster);
    if (folder == nullptr) return kResultOk;  // addEntry says why
    int named = checkEntryName(image, name, &planned);
    if (named != kResultOk) {
        out->done = true;
        return named;
    }
    if (!folder->names.hasName(planned.longName)) return kResultOk;
    std::vector<uint16_t> units(planned.longName.begin(), planned.longName.end());
    units.push_back(0);
    ImagePathEntry old;
    if (!findImageEntry(image, folderCluster, units.data(), &old)) return kResultOk;
    bool newIsFolder = entry.source == nullptr;
    bool oldIsFolder = isFolderEntry(old.entry);
    out->done = true;
    switch (askClash(*clash, old, newIsFolder)) {
    case kClashSkip: ++clash->skipped; return kResultOk;
    case kClashKeepBoth:
        for (int number = 2; number <= kMaxNameNumber; ++number) {
            std::string numbered = numberedName(name, newIsFolder, number);
            EntryName candidate;
            int checked = checkEntryName(image, numbered.c_str(), &candidate);
            if (checked != kResultOk) return checked;
            if (!folder->names.hasName(candidate.longName)) {
                out->done = false;
                out->name = numbered;
                return kResultOk;
            }
        }
        return refuse(image, kResultNameExists, "File \"%s\" already exists!", name);
    case kClashReplace:
        if (oldIsFolder != newIsFolder)
            return refuse(image, kResultClashKind,
                          newIsFolder ? "Could not replace file \"%s\" with a folder!"
                                      : "Could not replace folder \"%s\" with a file!",
                          name);
        if (oldIsFolder) {
            if (old.contentCluster == kNoContent)
                return refuse(image, kResultDamaged,
                              "Could not insert into folder \"%s\": it has no clusters! Run "
                              "Check disk to repair it.",
                              name);
            out->done = false;
            out->merge = true;
            out->mergeInto = old.contentCluster;
            return kResultOk;
        }
        {
            int result = replaceFile(op, image, folderCluster, old, entry, name);
            if (result == kResultOk) {
                ++clash->replaced;
                if (inserted != nullptr) ++*inserted;
            }
            return result;
        }
    default: return kResultCancelled;
    }
}

int insertFile(InsertRun& op, VolumeImage& image, uint16_t folderCluster, HostSource& source,
               const char* hostPath, const char* name, const HostFileInfo& info, int* inserted) {
    NewEntry entry = {de::kAttrArchive, info.fatDate, info.fatTime, &source, hostPath, info.size};
    ClashOutcome clash;
    int result = settleClash(op, image, folderCluster, name, entry, inserted, &clash);
    if (clash.done || result != kResultOk) return result;
    uint16_t first = 0;
    result = addEntry(op, image, folderCluster, clash.name.c_str(), entry, &first);
    if (result == kResultOk && inserted != nullptr) ++*inserted;
    return result;
}

int makeFolder(InsertRun& op, VolumeImage& image, uint16_t parentCluster, const char* name,
               uint16_t date, uint16_t time, uint16_t* newCluster) {
    NewEntry entry = {de::kAttrDirectory, date, time, nullptr, nullptr, 0};
    return addEntry(op, image, parentCluster, name, entry, newCluster);
}

bool cancelled(const InsertRun& op) { return op.clash != nullptr && op.clash->cancelled; }

int insertTree(InsertRun& op, VolumeImage& image, uint16_t folderCluster, const char* hostPath,
               const char* name, int depth, int* inserted) {
    if (depth > kMaxInsertDepth)
        return refuse(image, kResultTooDeep, "Folder \"%s\" is nested too deeply!", hostPath);
    HostFileInfo info;
    std::vector<HostFolderEntry> children;
    if (!hostQueryFile(hostPath, &info, true) || !info.isFolder ||
        !hostListFolder(hostPath, &children))
        return refuse(image, kResultHostIo, "Could not read folder \"%s\"!", hostPath);
    NewEntry entry = {de::kAttrDirectory, info.fatDate, info.fatTime, nullptr, nullptr, 0};
    ClashOutcome clash;
    int result = settleClash(op, image, folderCluster, name, entry, inserted, &clash);
    if (clash.done || result != kResultOk) return result;
    // Replacing a folder with one of its name merges into it, as Explorer does: what the folder
    // holds stays, and the inserted entries meet its names one by one.
    uint16_t target = clash.mergeInto;
    if (!clash.merge) {
        result = addEntry(op, image, folderCluster, clash.name.c_str(), entry, &target);
        if (result != kResultOk) return result;
        if (inserted != nullptr) ++*inserted;
    }

    int firstFailure = kResultOk;
    for (const HostFolderEntry& child : children) {
        if (cancelled(op)) return kResultCancelled;
        std::string path = hostJoinPath(hostPath, child.name);
        HostFileInfo childInfo;
        HostSource source;
        // Only regular files and folders go in; links to folders are not followed.
        if (!source.open(path.c_str(), false, child.plainFile, &childInfo) ||
            childInfo.kind == kHostOther) {
            result = refuse(image, kResultHostIo, "Could not read file \"%s\"!", path.c_str());
        } else if (childInfo.isFolder) {
            result = insertTree(op, image, target, path.c_str(), child.name.c_str(), depth + 1,
                                inserted);
        } else {
            result = insertFile(op, image, target, source, path.c_str(), child.name.c_str(),
                                childInfo, inserted);
        }
        if (firstFailure == kResultOk) firstFailure = result;
    }
    return cancelled(op) ? kResultCancelled : firstFailure;
}

// A host file or a whole host folder, under its own name.
int insertPath(InsertRun& op, VolumeImage& image, uint16_t folderCluster, const char* hostPath,
               int* inserted) {
    HostFileInfo info;
    HostSource source;
    if (!source.open(hostPath, true, true, &info) || info.kind == kHostOther)
        return refuse(image, kResultHostIo, "Could not read file \"%s\"!", hostPath);
    std::string name = hostBaseName(hostPath);
    if (info.isFolder)
        return insertTree(op, image, folderCluster, hostPath, name.c_str(), 0, inserted);
    return insertFile(op, image, folderCluster, source, hostPath, name.c_str(), info, inserted);
}

}  // namespace

// Each public call is one operation with its own InsertRun.
int VolumeImage::insertHostFile(uint16_t folderCluster, const char* hostPath, const char* name) {
    HostFileInfo info;
    HostSource source;
    if (!source.open(hostPath, true, true, &info) || info.kind != kHostRegularFile)
        return refuse(*this, kResultHostIo, "Could not read file \"%s\"!", hostPath);
    InsertRun op(*this);
    return insertFile(op, *this, folderCluster, source, hostPath, name, info, nullptr);
}

int VolumeImage::createFolder(uint16_t parentCluster, const char* name, uint16_t date,
                              uint16_t time, uint16_t* newCluster) {
    InsertRun op(*this);
    return makeFolder(op, *this, parentCluster, name, date, time, newCluster);
}

int VolumeImage::insertHostFolder(uint16_t folderCluster, const char* hostPath, const char* name,
                                  int* inserted) {
    InsertRun op(*this);
    return insertTree(op, *this, folderCluster, hostPath, name, 0, inserted);
}

int VolumeImage::insertHostPath(uint16_t folderCluster, const char* hostPath, int* inserted,
                                InsertClash* clash) {
    return insertHostPaths(folderCluster, &hostPath, 1, inserted, clash);
}

int VolumeImage::insertHostPaths(uint16_t folderCluster, const char* const* hostPaths, int count,
                                 int* inserted, InsertClash* clash) {
    InsertRun op(*this);
    op.clash = clash;
    int firstFailure = kResultOk;
    for (int i = 0; i < count && !cancelled(op); ++i) {
        int result = insertPath(op, *this, folderCluster, hostPaths[i], inserted);
        if (firstFailure == kResultOk) firstFailure = result;
    }
    return firstFailure;
}

int VolumeImage::insertFolderContents(uint16_t folderCluster, const char* hostFolder,
                                      int* inserted) {
    HostFileInfo info;
    std::vector<HostFolderEntry> children;
    if (!hostQueryFile(hostFolder, &info, true) || !info.isFolder ||
        !hostListFolder(hostFolder, &children))
        return refuse(*this, kResultHostIo, "Could not read folder \"%s\"!", hostFolder);
    std::vector<std::string> paths;
    std::vector<const char*> pathTexts;
    for (const HostFolderEntry& child : children)
        paths.push_back(hostJoinPath(hostFolder, child.name));
    for (const std::string& path : paths) pathTexts.push_back(path.c_str());
    return insertHostPaths(folderCluster, pathTexts.data(), static_cast<int>(pathTexts.size()),
                           inserted);
}

// Extraction to the host and viewing's temporary copies. The tree is copied through the walker;
// paths grow and shrink in one buffer, so the recursion keeps little on the stack.
#include "directory/extract.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "directory/dir_entry.h"
#include "directory/folder_walk.h"
#include "image/boot_sector.h"
#include "image/chain_cursor.h"
#include "image/volume_image.h"
#include "platform/host_file.h"
#include "platform/host_folder.h"
#include "platform/host_text.h"

namespace {

const char kCannotCreateFile[] = "Could not create file \"%s\"!";
const char kCannotCreateFolder[] = "Could not create directory \"%s\"!";
const char kCannotExport[] = "Could not export to file \"%s\"!";
const char kFileExists[] = "File \"%s\" already exists!";
const char kFolderAgain[] =
    "Could not extract folder \"%s\"! It leads to a folder extracted before (a cross-linked or "
    "looping folder). Run Check disk to repair it.";
const char kClustersTaken[] =
    "Could not extract file \"%s\"! Its clusters went into other files already (cross-linked "
    "chains). Run Check disk to repair it.";
const char kRenamed[] = "Two entries are named \"%s\": the later one was extracted as \"%s\".";

// Host file writes go out in runs of at least this size (or the whole file): one call per
// cluster would make extraction slower than the tools it is measured against.
const uint32_t kWriteRun = 32768;

// One extraction of an entry or a folder tree: the path being built, the walker's outputs (read
// before any nested call, so one set serves every level) and the job it belongs to.
struct ExtractRun {
    VolumeImage* image;
    std::vector<char> path;
    size_t length;
    ExtractJob* job;
    WalkedEntry walked;
    char name[kLongNameUnits * 3 + 1];
};

// What extraction needs of an entry, read before a subfolder's walk reuses the buffers.
struct EntryFacts {
    uint8_t entry[de::kSize];
    bool isFolder;
    uint16_t first;
    uint32_t size;
};

// On the heap: the run holds the walker's outputs and a long name's host text. The path starts
// as `hostPath`, which may be too long for the host already (appendName then refuses every name).
std::unique_ptr<ExtractRun> startRun(VolumeImage& im, const char* hostPath, ExtractJob& job) {
    std::unique_ptr<ExtractRun> run(new ExtractRun);
    run->image = &im;
    run->job = &job;
    run->length = std::strlen(hostPath);
    run->path.assign(std::max(hostPathCapacity(), run->length + 1), '\0');
    std::memcpy(run->path.data(), hostPath, run->length + 1);
    if (job.entered.empty()) job.entered.assign(kFatTableEntries, 0);
    if (job.copies.empty()) job.copies.assign(kFatTableEntries, 0);
    return run;
}

// Appends the separator and `name` to the run's path; false (path unchanged) when the host's
// paths cannot hold it.
bool appendName(ExtractRun& run, const char* name) {
    size_t n = std::strlen(name);
    if (run.length + 1 + n + 1 > hostPathCapacity()) return false;
    run.path[run.length] = hostPathSeparator();
    std::memcpy(&run.path[run.length + 1], name, n + 1);
    run.length += 1 + n;
    return true;
}

void cutPath(ExtractRun& run, size_t length) {
    run.length = length;
    run.path[length] = '\0';
}

// A path too long for the host: the message names as much of it as the message text holds.
void queueTooLong(VolumeImage& im, const char* format, const char* folder, const char* name) {
    std::vector<char> full(std::strlen(folder) + std::strlen(name) + 2);
    std::strcpy(full.data(), folder);
    size_t at = std::strlen(folder);
    full[at] = hostPathSeparator();
    std::strcpy(full.data() + at + 1, name);
    im.queueMessage(format, full.data());
}

// An earlier entry of the job made run.path already: the path takes the first numbered name that
// neither the job nor the host holds. False (queued) when none fits.
bool takeDistinctName(ExtractRun& run, bool isFolder, size_t parentLength) {
    VolumeImage& im = *run.image;
    std::string taken = run.path.data();
    // Numbering goes on where the last entry of this name stopped: a folder of thousands of equal
    // entries costs one try each, not a count from 2 each.
    int& next = run.job->nextNumber[hostPathKey(taken.c_str())];
    for (int number = std::max(next, 2); number <= kMaxNameNumber; ++number) {
        std::string name = numberedName(run.name, isFolder, number);
        cutPath(run, parentLength);
        if (!appendName(run, name.c_str())) {
            queueTooLong(im, isFolder ? kCannotCreateFolder : kCannotCreateFile, run.path.data(),
                         name.c_str());
            return false;
        }
        if (run.job->made.count(hostPathKey(run.path.data())) == 0 &&
            !hostFileExists(run.path.data())) {
            char line[kMessageTextSize];
            std::snprintf(line, sizeof line, kRenamed, taken.c_str(), run.path.data());
            run.job->renamed.push_back(line);
            next = number + 1;
            return true;
        }
    }
    im.queueMessage(isFolder ? kCannotCreateFolder : kCannotCreateFile, taken.c_str());
    return false;
}

// Makes the folder run.path names, or takes the plain folder already there (a link to one is
// never entered). 1 made, 0 already there, -1 failed (queued).
int makeFolder(ExtractRun& run) {
    const char* path = run.path.data();
    HostFileInfo info;
    if (hostFileExists(path) && hostQueryFile(path, &info, false) && info.kind == kHostFolder)
        return 0;
    if (hostCreateFolder(path)) return 1;
    run.image->queueMessage(kCannotCreateFolder, path);
    return -1;
}

// Visits the clusters that a file of `size` bytes takes from its chain, as extractFile reads it.
template <typename Visit>
void forFileClusters(VolumeImage& im, uint16_t first, uint32_t size, Visit visit) {
    uint32_t remaining = size;
    for (ChainCursor chain(im, first); remaining > 0 && chain.atCluster(); chain.advance()) {
        visit(chain.cluster());
        remaining -= remaining < static_cast<uint32_t>(im.clusterBytes) ? remaining
                                                                        : im.clusterBytes;
    }
}

// Counts the file's clusters as written once more; false (nothing counted) when one of them went
// into kMaxCopiesOfCluster files already.
bool claimClusters(ExtractRun& run, const EntryFacts& f) {
    std::vector<uint8_t>& copies = run.job->copies;
    bool free = true;
    forFileClusters(*run.image, f.first, f.size,
                    [&](uint32_t c) { free = free && copies[c] < kMaxCopiesOfCluster; });
    if (free) forFileClusters(*run.image, f.first, f.size, [&](uint32_t c) { ++copies[c]; });
    return free;
}

// A host file of the name that the job did not write: the job's policy (or the user) decides.
// kResultOk to write it, kResultCancelled, or a refusal (queued); *skip when it stays as it is.
int decideClash(ExtractRun& run, bool* skip) {
    ExtractJob& job = *run.job;
    *skip = false;
    ClashPolicy policy = job.policy;
    if (policy == kClashAsk) {
        bool forAll = false;
        ClashAnswer answer = job.ask ? job.ask(run.path.data(), &forAll) : kClashAnswerCancel;
        if (answer == kClashAnswerCancel) {
            job.cancelled = true;
            return kResultCancelled;
        }
        policy = answer == kClashAnswerReplace ? kClashReplace : kClashSkip;
        if (forAll) job.policy = policy;
    }
    if (policy == kClashRefuse || policy == kClashKeepBoth) {
        run.image->queueMessage(kFileExists, run.path.data());
        return kResultNameExists;
    }
    *skip = policy == kClashSkip;
    if (*skip) ++job.count.skipped;
    return kResultOk;
}

int extractTree(ExtractRun& run, uint16_t firstCluster);

int extractFileNamed(ExtractRun& run, const EntryFacts& f) {
    VolumeImage& im = *run.image;
    const char* path = run.path.data();
    if (hostFileExists(path)) {
        bool skip = false;
        int decided = decideClash(run, &skip);
        if (decided != kResultOk || skip) return decided;
    }
    if (!claimClusters(run, f)) {
        im.queueMessage(kClustersTaken, path);
        return kResultDamaged;
    }
    run.job->made.insert(hostPathKey(path));
    int result = im.extractFile(f.first, path, f.size, f.entry);
    if (result == kResultOk) ++run.job->count.files;
    return result;
}

// A folder entry: its folder made or entered, its tree extracted, and a folder it made given the
// entry's time and attributes once its contents are in.
int extractFolderNamed(ExtractRun& run, const EntryFacts& f) {
    VolumeImage& im = *run.image;
    ExtractJob& job = *run.job;
    // A folder met before in this extraction leads back to one of its ancestors or is
    // cross-linked with another folder: copying it again would never end. One whose first
    // cluster names no data cluster (0 included, which would be the root) is an empty folder.
    bool hasTree = im.isDataCluster(f.first);
    if (hasTree && job.entered[f.first]) {
        im.queueMessage(kFolderAgain, run.path.data());
        return kResultDamaged;
    }
    int made = makeFolder(run);
    if (made < 0) return kResultHostIo;
    job.made.insert(hostPathKey(run.path.data()));
    if (made > 0) ++job.count.folders;
    int result = kResultOk;
    if (hasTree) {
        job.entered[f.first] = 1;
        result = extractTree(run, f.first);
    }
    if (made > 0) {
        hostSetWriteTime(run.path.data(), readLe16(f.entry + de::kDate),
                         readLe16(f.entry + de::kTime));
        hostSetDosAttributes(run.path.data(), f.entry[de::kAttributes]);
    }
    return result;
}

// One entry into the folder run.path names, under its host name, already in run.name.
int extractNamed(ExtractRun& run, const EntryFacts& f) {
    VolumeImage& im = *run.image;
    const char* message = f.isFolder ? kCannotCreateFolder : kCannotCreateFile;
    size_t parentLength = run.length;
    if (!appendName(run, run.name)) {
        queueTooLong(im, message, run.path.data(), run.name);
        return kResultHostIo;
    }
    int result = kResultOk;
    if (!isSafeHostName(run.name)) {
        im.queueMessage(message, run.path.data());
        result = kResultHostIo;
    } else if (run.job->made.count(hostPathKey(run.path.data())) != 0 &&
               !takeDistinctName(run, f.isFolder, parentLength)) {
        result = kResultHostIo;
    } else {
        result = f.isFolder ? extractFolderNamed(run, f) : extractFileNamed(run, f);
    }
    cutPath(run, parentLength);
    return result;
}

// One entry of a listed folder into the folder run.path names, the decision every entry meets at
// every depth: "." and ".." and a name that converts to nothing are passed over, folders go in
// with their trees, files with their data. What it needs of the entry is read before a subfolder's
// walk, which may read into the same buffers.
int extractChild(ExtractRun& run, const uint8_t* entry, const uint16_t* longName) {
    if (run.job->cancelled) return kResultCancelled;
    EntryFacts f;
    std::memcpy(f.entry, entry, sizeof f.entry);
    f.isFolder = isFolderEntry(entry);
    if (f.isFolder && isDotEntry(entry)) return kResultOk;
    int length = entryHostName(entry, longName, run.name, sizeof run.name);
    if (length == 0) return kResultOk;
    if (length < 0) {
        run.image->queueMessage(f.isFolder ? kCannotCreateFolder : kCannotCreateFile,
                                run.path.data());
        return kResultHostIo;
    }
    f.first = entryFirstCluster(entry);
    f.size = readLe32(entry + de::kFileSize);
    return extractNamed(run, f);
}

int extractTree(ExtractRun& run, uint16_t firstCluster) {
    int result = kResultOk;
    forEachEntry(*run.image, firstCluster, run.walked, [&](const WalkedEntry& e) {
        int r = extractChild(run, e.entry, e.longName);
        if (result == kResultOk) result = r;
        return run.job->cancelled;
    });
    return result;
}

}  // namespace

int entryHostName(const uint8_t* entry, const uint16_t* longName, char* out, size_t capacity) {
    if (capacity == 0) return -1;
    out[0] = '\0';
    if (longName[0] != 0) {
        int n = hostTextFromUtf16(longName, kLongNameUnits, out, capacity);
        if (n != 0) return n;
    }
    uint16_t shortName[kShortNameUnits];
    shortNameAsShown(entry, shortName);
    return hostTextFromUtf16(shortName, kShortNameUnits, out, capacity);
}

bool isSafeHostName(const char* name) {
    bool onlyDotsAndBlanks = true;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(name); *p != 0; ++p) {
        if (*p < 0x20 || *p == 0x7F || *p == '/' || *p == '\\' || *p == ':') return false;
        if (*p != '.' && *p != ' ') onlyDotsAndBlanks = false;
    }
    return name[0] != '\0' && !onlyDotsAndBlanks && !hostNameIsDevice(name);
}

ListedEntry listedEntry(const WalkedEntry& e) {
    ListedEntry listed;
    std::memcpy(listed.entry, e.entry, sizeof listed.entry);
    std::memcpy(listed.longName, e.longName, sizeof listed.longName);
    return listed;
}

std::vector<ListedEntry> readListedEntries(VolumeImage& image, uint16_t folder) {
    std::vector<ListedEntry> listed;
    forEachEntry(image, folder, [&](const WalkedEntry& e) { listed.push_back(listedEntry(e)); });
    return listed;
}

void deleteTempFiles(MessageList& tempFiles) {
    std::vector<char> path(hostPathCapacity() + 1);
    while (!tempFiles.isEmpty()) {
        std::memset(path.data(), 0, path.size());
        tempFiles.popFront(path.data(), static_cast<uint32_t>(path.size() - 1));
        hostDeleteFile(path.data());
    }
}

namespace {

// Writes a chain's bytes. A chain of one run of consecutive clusters (most files) goes out in
// one write straight from the volume's buffer; the runs of a fragmented chain are gathered in
// the image's extraction buffer (allocated when first needed, never cleared) and written
// kWriteRun bytes at a time, except runs that long themselves, so that neither costs a call per
// cluster.
class ChainWriter {
public:
    ChainWriter(VolumeImage& im, HostFile& file)
        : im_(im), file_(file), first_(nullptr), firstBytes_(0), pending_(0) {}
    bool put(const uint8_t* bytes, uint32_t length) {
        if (first_ == nullptr && pending_ == 0) {
            first_ = bytes;
            firstBytes_ = length;
            return true;
        }
        if (first_ != nullptr && !gather(takeFirst(), firstBytes_)) return false;
        return gather(bytes, length);
    }
    bool flush() {
        if (first_ != nullptr) return file_.write(takeFirst(), firstBytes_);
        return flushGathered();
    }

private:
    const uint8_t* takeFirst() {
        const uint8_t* bytes = first_;
        first_ = nullptr;
        return bytes;
    }
    bool gather(const uint8_t* bytes, uint32_t length) {
        if (length < kWriteRun && !im_.extractBuffer)
            im_.extractBuffer.reset(new (std::nothrow) uint8_t[kWriteRun]);
        uint8_t* buffer = im_.extractBuffer.get();
        if (length >= kWriteRun || buffer == nullptr)
            return flushGathered() && file_.write(bytes, length);
        if (pending_ + length > kWriteRun && !flushGathered()) return false;
        std::memcpy(buffer + pending_, bytes, length);
        pending_ += length;
        return true;
    }
    bool flushGathered() {
        uint32_t n = pending_;
        pending_ = 0;
        return n == 0 || file_.write(im_.extractBuffer.get(), n);
    }

    VolumeImage& im_;
    HostFile& file_;
    const uint8_t* first_;  // the chain's first run, held back in case it is the only one
    uint32_t firstBytes_;
    uint32_t pending_;  // bytes gathered in the buffer
};

}  // namespace

int VolumeImage::extractFile(uint16_t firstCluster, const char* hostPath, uint32_t size,
                             const uint8_t* entry) {
    HostFile file;
    if (!file.createPlain(hostPath)) {
        queueMessage(kCannotCreateFile, hostPath);
        return kResultHostIo;
    }
    ChainWriter out(*this, file);
    bool ok = true;
    const uint8_t* run = nullptr;  // the run of consecutive clusters not yet written
    uint32_t runBytes = 0;
    uint32_t remaining = size;
    // The chain is followed while bytes remain (beyond that only empty writes would follow), to
    // a link that names no data cluster at most (such a chain gives a shorter file, as a short
    // chain does), and as ChainCursor ends a loop: a cyclic chain gives each of its clusters
    // once, not copies of the loop up to the size.
    for (ChainCursor chain(*this, firstCluster); ok && remaining > 0 && chain.atCluster();
         chain.advance()) {
        const uint8_t* data = clusterData(chain.cluster());
        uint32_t n = remaining < clusterBytes ? remaining : clusterBytes;
        // Only the last cluster is taken in part, so a run grows while the clusters follow each
        // other in the buffer.
        if (run != nullptr && run + runBytes == data) {
            runBytes += n;
        } else {
            ok = runBytes == 0 || out.put(run, runBytes);
            run = data;
            runBytes = n;
        }
        remaining -= n;
    }
    ok = ok && (runBytes == 0 || out.put(run, runBytes)) && out.flush();
    // The time and attributes are the entry's where the host takes them; a host that refuses
    // them still has the data, so they fail nothing.
    if (ok && entry != nullptr)
        file.setWriteTime(readLe16(entry + de::kDate), readLe16(entry + de::kTime));
    int result = ok ? kResultOk : kResultHostIo;
    if (!file.close() && result == kResultOk) result = kResultHostIo;
    if (result != kResultOk) queueMessage(kCannotExport, hostPath);
    if (result == kResultOk && entry != nullptr)
        hostSetDosAttributes(hostPath, entry[de::kAttributes]);
    return result;
}

int VolumeImage::extractFolder(uint16_t firstCluster, const char* hostPath, ExtractJob* job) {
    if (std::strlen(hostPath) + 1 > hostPathCapacity()) {
        queueMessage(kCannotCreateFolder, hostPath);
        return kResultHostIo;
    }
    ExtractJob own;
    std::unique_ptr<ExtractRun> run = startRun(*this, hostPath, job != nullptr ? *job : own);
    int made = makeFolder(*run);
    if (made < 0) return kResultHostIo;
    if (made > 0) ++run->job->count.folders;
    if (isDataCluster(firstCluster)) run->job->entered[firstCluster] = 1;
    return extractTree(*run, firstCluster);
}

int VolumeImage::extractEntry(const uint8_t* entry, const uint16_t* longName, const char* folder,
                              ExtractJob* job) {
    ExtractJob own;
    return extractChild(*startRun(*this, folder, job != nullptr ? *job : own), entry, longName);
}

int VolumeImage::extractTempCopy(const uint8_t* entry, const uint16_t* longName,
                                 MessageList& tempFiles, char* path, size_t capacity) {
    if (capacity == 0) return kResultHostIo;
    path[0] = '\0';
    if (isFolderEntry(entry)) return kResultOk;
    std::vector<char> hostName(kLongNameUnits * 3 + 1);
    if (entryHostName(entry, longName, hostName.data(), hostName.size()) <= 0) return kResultOk;
    std::vector<char> temp(hostPathCapacity() + hostName.size() + 1);
    if (!hostTempPath(temp.data(), hostPathCapacity())) temp[0] = '\0';
    std::strcat(temp.data(), hostName.data());
    size_t length = std::strlen(temp.data());
    if (!isSafeHostName(hostName.data()) || length + 1 > hostPathCapacity() ||
        length + 1 > capacity) {
        queueMessage(kCannotCreateFile, temp.data());
        return kResultHostIo;
    }
    int result = extractFile(entryFirstCluster(entry), temp.data(),
                             readLe32(entry + de::kFileSize));
    if (result != kResultOk) return result;
    tempFiles.add(temp.data(), static_cast<uint32_t>(length + 1));
    std::memcpy(path, temp.data(), length + 1);
    return kResultOk;
}

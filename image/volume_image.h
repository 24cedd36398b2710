// The whole FAT12 volume in memory: boot sector, two raw FAT copies, the unpacked FAT, the root
// directory, the data clusters in one buffer and the bytes of the volume it does not model (see
// image/volume_layout.h), with a backup of them all while a load that may fail runs.
// Every operation returns a result code and queues one message per failure on the image itself.
#ifndef TOLVEN_IMAGE_VOLUME_IMAGE_H
#define TOLVEN_IMAGE_VOLUME_IMAGE_H

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "image/boot_sector.h"
#include "image/chain_cursor.h"
#include "image/file_stamp.h"
#include "image/cluster_store.h"
#include "image/container.h"
#include "image/message_list.h"
#include "image/volume_layout.h"
#include "platform/boot_template.h"

struct ExtractJob;           // directory/extract.h
enum FloppyWriteMode : int;  // floppy/write_floppy.h
struct TransferSink;
class HostLock;  // platform/host_lock.h

// Sizes of the in-memory volume. They bound what an image may declare (see checkBootSector).
const int kFatTableEntries = 3414;  // cluster numbers 0..3413
// Data clusters 2..3412: the largest count whose entries all fit a FAT of kFatBytes.
const int kMaxClusters = 3411;
const int kFatBytes = 5120;  // 10 sectors of 512 bytes
const int kMaxSectorsPerFat = 10;
const int kMaxRootEntries = 240;
const int kRootDirBytes = kMaxRootEntries * 32;
// Clusters up to 16 sectors of 512 bytes are held. Floppy formats use 512 to 2048 bytes; the
// bound keeps a hostile boot sector from making the image allocate hundreds of megabytes.
const int kMaxClusterBytes = 8192;
const int kMessageTextSize = 1024;  // room for a message that names a long host path
const int kStatusTextSize = 100;
const int kMaxInsertDepth = 64;  // host folder levels below an inserted folder
// An image file may be longer than its volume (the rest is kept), up to this many bytes in all.
const uint32_t kMaxImageFileBytes = 64u * 1024 * 1024;

// Result codes of the operations on the image.
enum ResultCode {
    kResultOk = 0,
    kResultHostIo = 100,
    kResultBadImage = 110,
    kResultClusterIo = 120,
    kResultNoMediaMatch = 130,
    kResultVerifyFailed = 140,
    kResultCancelled = 200,
    kResultBootSectorMismatch = 400,
    kResultBootCodeSize = 410,
    kResultNoSignature = 420,
    kResultNoTemplate = 500,
    // Insertion.
    kResultNoSpace = 600,        // not enough free clusters for the entry (or its folder's growth)
    kResultDirectoryFull = 610,  // no run of free slots: root full, or a folder that may not grow
    kResultNameExists = 620,     // the name is taken in the folder (long or 8.3, any case)
    kResultNameTooLong = 630,    // more than 255 characters
    kResultBadName = 640,        // empty, or a character long names cannot hold
    kResultTooDeep = 650,        // host folders nested deeper than kMaxInsertDepth
    // Editing entries and the label.
    kResultNoEntry = 660,   // the location names no file or folder entry (a stale list)
    kResultBadLabel = 670,  // a volume label the label rule refuses
    // A damaged image where an operation would spread the damage or write without bound: the
    // operation is refused (the image unchanged; Check disk repairs it).
    kResultDamaged = 680,
    // Image files.
    kResultChooseMember = 690,  // a ZIP archive of several images, and none chosen
    // Saving beside other programs.
    kResultImageLocked = 700,     // another program holds the image's lock
    kResultChangedOnDisk = 710,   // the file is no longer the one that was loaded
    kResultSameFile = 720,        // a boot file export onto the image file itself
    kResultReplaceRefused = 730,  // the folder lets no new file replace the target
    kResultReadOnly = 740,        // the image opened read-only (ContainerState::readOnly)
};

// How a save puts the image on the disk. Replacing writes a new file and puts it in the target's
// place only when complete; in place writes over the target itself, which a failure half-way
// leaves damaged: only for a folder that refuses the replacement (kResultReplaceRefused).
enum SaveMethod { kSaveReplacing, kSaveInPlace };

// Classes of FAT entry values.
enum FatClass { kFatFree, kFatUsed, kFatReserved, kFatBad };
FatClass classifyFatEntry(uint16_t value);

// FAT values a chain ends with.
const uint16_t kBadClusterMark = 0xFF7;
const uint16_t kEndOfChainMark = 0xFFF;
const uint16_t kFirstEndMark = 0xFF8;  // 0xFF8-0xFFF all end a chain

// True when the image can hold the volume (readVolumeLayout) and its areas follow each other as
// the floppy transfers stream them (isStreamLayout): the floppy read's acceptance. Image files
// take every layout readVolumeLayout accepts.
bool checkBootSector(const uint8_t* bootSector);

// The part of VolumeState of fixed size: plain arrays and numbers, copied and cleared whole.
struct FixedVolumeState {
    uint16_t fatTable[kFatTableEntries];
    uint8_t bootSector[bs::kSize];
    uint8_t fat1[kFatBytes];
    uint8_t fat2[kFatBytes];
    uint8_t rootDir[kRootDirBytes];
    uint16_t clusterBytes;
    uint16_t entriesPerCluster;
    uint16_t clusterCount;
    uint16_t dataSectors;
};

// The volume's bytes and the geometry derived from them: everything a load or a floppy read that
// fails puts back. The image holds it live (as its own members) and, while such an operation
// runs, once more as its backup. Copying copies the clusters too (a copy short of memory holds
// none of them); moving hands their buffer over.
struct VolumeState : FixedVolumeState {
    // The kept areas' bytes (kAreaReserved, kAreaRootSlack, then kAreaTail) in disk order.
    std::vector<uint8_t> keptBytes;
    // clusterCount clusters of clusterBytes: clusters[i] is cluster i + 2, null beyond the count.
    ClusterStore clusters;
    // The container of the file the image came from (raw for a new one or a floppy's).
    ContainerState container;

    // Where the bytes of `area` are held: the boot sector, the first or second FAT (every further
    // copy is written from the first), the root directory, the clusters (all of them, in order),
    // or the kept bytes; null for a kept area these do not hold whole (a file cut short keeps
    // fewer than its volume has).
    uint8_t* areaBytes(const VolumeArea& area);
};

// The walker's position, for walks nested in another (see saveCursor): the folder's chain (no
// cluster for the root, and once a subfolder's walk has ended), and the next slot to read in the
// current cluster or the root.
struct WalkCursor {
    ChainCursor chain;
    uint16_t index = 0;
    bool root = false;
};

class VolumeImage : public MessageList, public VolumeState {
public:
    VolumeImage();
    ~VolumeImage();
    VolumeImage(const VolumeImage&) = delete;
    VolumeImage& operator=(const VolumeImage&) = delete;

    // --- the volume itself ------------------------------------------------------------------
    void reset();
    // Derives clusterBytes, entriesPerCluster, dataSectors and clusterCount from bootSector with
    // readVolumeLayout, allocates the clusters (zeroed) and zeroes the kept bytes of the declared
    // layout. The boot sector must have passed readVolumeLayout.
    // False when memory ran out: clusterCount is then 0.
    bool computeGeometry();
    // The areas of this image's file: readVolumeLayout's, with the tail as long as the kept bytes
    // make it (a loaded file keeps the length it had). False when the boot sector is refused.
    bool imageLayout(VolumeLayout* layout) const;
    bool allocateClusters();
    void freeClusters();
    void decodeFat();
    void encodeFat();
    // The first FAT copy as encodeFat would write it from the table now (kFatBytes), leaving
    // the held copies alone: what a view of the FAT shows before the next save.
    void encodeFatInto(uint8_t* out) const;
    // Copies the image into `backup`. False when memory for it ran out: there is then no backup.
    bool saveBackup();
    // Puts the backup back; its cluster buffer moves back, so restoring needs no memory and
    // cannot fail. There is no backup afterwards.
    void restoreBackup();
    void dropBackup();
    bool copyBootSector(uint8_t* out512) const;

    int getClusterCount() const { return clusterCount; }
    int countFreeClusters() const;
    int countUsedClusters() const;
    int countReservedClusters() const;
    int countBadClusters() const;
    // The class the cluster map shows for data cluster `cluster`: its FAT entry's, or bad where
    // the container holds no readable sectors for it.
    FatClass mapClass(uint32_t cluster) const;

    // Formats `format` into messageText (cut to fit) and appends it to the message list.
    void queueMessage(const char* format, ...)
#if defined(__GNUC__)
        __attribute__((format(printf, 2, 3)))
#endif
        ;

    // The buffer of data cluster `cluster` (2 .. clusterCount + 1), or null for any other number.
    const uint8_t* clusterData(uint32_t cluster) const;
    uint8_t* clusterData(uint32_t cluster);
    bool isDataCluster(uint32_t cluster) const { return clusterData(cluster) != nullptr; }
    // The link stored for `cluster`; kLinkBroken when `cluster` is no data cluster itself.
    // Chains are walked with a ChainCursor (image/chain_cursor.h), which reads links through this.
    ChainLink nextLink(uint32_t cluster) const;
    // Stores `value` (a cluster number or a mark) as the link of data cluster `cluster`; any other
    // number is left alone. Every change to a chain goes through here (image/fat_codec.cpp).
    void setLink(uint32_t cluster, uint16_t value);
    // Boot sector fields as stored.
    uint16_t bytesPerSector() const;
    uint8_t sectorsPerCluster() const;
    uint16_t reservedSectors() const;
    uint8_t numberOfFats() const;
    uint16_t rootEntryCount() const;
    uint16_t totalSectors() const;
    uint16_t sectorsPerFat() const;

    // --- new images (image/create_image.cpp) ------------------------------------------------
    // Returns 0, or 500 when the boot sector template cannot be found (image unchanged). The
    // label is stored as readVolumeLabel reads it; an empty one (or one it refuses) gives no
    // label entry and "NO NAME" in the boot sector.
    int createImage(ModuleHandle module, int diskType, const char* label, const char* oemId);

    // --- raw image files (image/image_file.cpp) ---------------------------------------------
    // Both walk the areas of the layout in disk order (the load the declared one, the save
    // imageLayout), each bound to its bytes by areaBytes, through the image's source or sink
    // (image/image_stream.h).
    // 0; 110 not opened, invalid boot sector, clusters missing or the file longer than
    // kMaxImageFileBytes; 100 a part unreadable, or no memory to keep the current image. On any
    // failure the image is exactly as before.
    // Any container (image/container.h) is decoded first; `member` (may be null) chooses the
    // image of a ZIP archive of several, else 690 names them (container is left, and the member
    // names are in `members`).
    int loadImageFile(const char* path, const char* member = nullptr);
    // The member names of the last archive that needed a choice.
    std::vector<std::string> members;
    // 0; 100 the target refused (read-only, not a regular file, a dangling link), the file not
    // created or a part not written; 120 a cluster not written (the message names it). The file
    // is written beside the real target (through symbolic links) under a fresh name, with the
    // target's permissions, and put in its place only when complete; on failure it is removed.
    // 730 when the folder refuses the new file or the replacement (the target untouched);
    // kSaveInPlace then writes over the target (100 when it cannot be opened for writing). A
    // saved file becomes the loaded one for checkImageFileUnchanged. Kept in the container the
    // image came in (740 read-only, 110 a Teledisk image: neither is written); the second form
    // in `kind`, which the image keeps from then on.
    int saveImageFile(const char* path, SaveMethod method = kSaveReplacing);
    int saveImageFile(const char* path, ContainerKind kind, SaveMethod method = kSaveReplacing);
    // Before saving over the file the image was loaded from: 0 when it is still the file that was
    // read (or gone, or the image came from no file); 710 with "Image \"%s\" was changed by
    // another program since it was opened." when its length, time or bytes differ.
    int checkImageFileUnchanged(const char* path);
    // Takes the image file's lock (platform/host_lock.h) for a command: 0 locked, or there is no
    // regular file to lock (loading or saving then says why); 700 with "Image file \"%s\" is in
    // use by another program!" when another holder kept it for `waitMs`.
    int lockImageFile(HostLock& lock, const char* path, int waitMs);

    // --- boot sector and boot code files (image/boot_files.cpp) -----------------------------
    // Exports go through the same replacement as saves; one onto the loaded image file itself
    // (through any name or link) is refused with 720.
    int importBootSector(const char* path);
    int exportBootSector(const char* path);
    int importBootCode(const char* path);
    int exportBootCode(const char* path);

    // --- directory walker (directory/folder_walk.cpp) ---------------------------------------
    // Starts a walk of the folder whose chain begins at `firstCluster` (0: the root) and returns
    // its first entry as nextEntry does. A first cluster that names no data cluster is an empty
    // folder.
    uint8_t startWalk(uint16_t firstCluster, uint8_t* entry, uint8_t* longName, int longNameBytes,
                      int32_t& entryCluster, int32_t& entryIndex, int32_t& longNameCluster,
                      int32_t& longNameIndex);
    // 1: the next entry's 32 bytes, its composed long name (min(longNameBytes, 520) bytes, all
    // zero when it has none; `longName` may be null with 0 bytes) and the slot locations;
    // 0: the folder has no further entry (also after a link that names no data cluster, or one
    // back to a cluster this walk has been in). Queues nothing.
    uint8_t nextEntry(uint8_t* entry, uint8_t* longName, int longNameBytes, int32_t& entryCluster,
                      int32_t& entryIndex, int32_t& longNameCluster, int32_t& longNameIndex);
    // True with clusterCopy refreshed; false at the end of the folder's chain.
    bool advanceCluster();
    // A walk nested in another saves the outer cursor before its startWalk and puts it back after.
    WalkCursor saveCursor() const;
    void restoreCursor(const WalkCursor& cursor);

    // --- extraction, viewing, deletion, insertion (directory/) ------------------------------
    // Extraction (directory/extract.cpp). Host names that could leave the target folder or open
    // a device (see isSafeHostName) are refused with the message of a failed creation.
    // Writes the chain of `firstCluster` to a new host file of exactly `size` bytes (fewer when
    // the chain is shorter), replacing a plain file of the name; with `entry`, the file takes its
    // modification time and (Windows) its read-only, hidden and system attributes. 0; 100 with
    // "Could not create file \"%s\"!" or "Could not export to file \"%s\"!".
    int extractFile(uint16_t firstCluster, const char* hostPath, uint32_t size,
                    const uint8_t* entry = nullptr);
    // Creates the host folder (or enters it when it exists) and extracts the folder's tree into
    // it. 0; the first failure of the tree, after every entry was tried.
    int extractFolder(uint16_t firstCluster, const char* hostPath, ExtractJob* job = nullptr);
    // Extracts one entry of a listed folder into `folder`, as the Extract command does for each
    // item: under its long name (`longName`, the walker's; all zero when it has none), else its
    // 8.3 name as shown (shortNameAsShown), the name it gets at any depth of a tree. Folders are
    // created or merged into, files written as extractFile does, under the job's clash policy;
    // "." and ".." are passed over with 0. A name an earlier entry of the job took gets a
    // distinct one ("name (2).ext", noted in job->renamed). 0; 100 as above; 620 "File \"%s\"
    // already exists!" (kClashRefuse); 680 for a folder reached again or a file whose clusters
    // went into kMaxCopiesOfCluster files already; 200 when the question was cancelled. `job`
    // (null: a job of its own that refuses clashes) counts what was made.
    int extractEntry(const uint8_t* entry, const uint16_t* longName, const char* folder,
                     ExtractJob* job = nullptr);
    // Viewing's temporary copy: extracts a file entry to the host's temporary folder under the
    // name extractEntry gives it and appends the path to `tempFiles`. 0 with the path in `path`
    // (empty when the entry is a folder: nothing to open); 100 as extractFile.
    int extractTempCopy(const uint8_t* entry, const uint16_t* longName, MessageList& tempFiles,
                        char* path, size_t capacity);

    // Deletion (directory/delete.cpp). All queue nothing.
    //
    // Deletes a listed entry with everything below it, as the Delete command and `rm` do: a
    // folder's contents, then the entry itself, touching nothing outside that tree (see
    // directory/cluster_owners.h): clusters that chains outside it also reach stay, with a queued
    // note that says so. 0; 660 for "." and "..", which are never deleted; 680 with a queued
    // message when a folder it would empty shares its clusters with another entry, or the slots
    // it would mark lie in clusters other entries use (nothing changes for either).
    int deleteTree(const uint8_t* entry, int32_t entryCluster, int32_t entryIndex,
                   int32_t longNameCluster, int32_t longNameIndex);
    // The three below return 0 and check nothing: they free every chain they meet.
    // Marks the entry's slots (and its long-name slots, in every cluster they span), frees its
    // chain and gives back folder clusters whose slots have all become free.
    int deleteEntry(uint16_t firstCluster, int32_t entryCluster, int32_t entryIndex,
                    int32_t longNameCluster, int32_t longNameIndex);
    // Deletes everything inside the folder, depth first, and gives back its emptied clusters
    // after the first; the folder's own slots stay (deleteEntry removes them).
    int deleteFolderContents(uint16_t firstCluster);
    // Zeroes folder cluster `cluster` (through `workingCopy`, clusterBytes bytes, which may be
    // the cluster's own buffer), frees it and links its predecessor to its successor.
    int reclaimCluster(uint16_t cluster, uint8_t* workingCopy);

    // Insertion (directory/insert*.cpp). An entry goes in whole or not at all: a refused one
    // leaves the image byte for byte as it was, with one queued message. Codes: 0; 100 a host
    // file or folder could not be read; 600, 610, 620, 630, 640, 650 (ResultCode); 680 a folder
    // that does not own its clusters alone or does not begin with "." and "..".
    //
    // Inserts every file of an open dialog's selection into the folder: either one full path,
    // or a folder followed by names, each ended by a zero byte, the last by two. At most
    // kInsertSelectionBytes (directory/long_name.h) are read. Returns 0 or the code of the first
    // failure; the files after a failure still go in. `*inserted` (may be null) grows by every file
    // and folder.
    int insertFiles(uint16_t targetCluster, const char* selection, const char* fileTitle,
                    int* inserted = nullptr);
    // Inserts host file `hostPath` as `name` (a host name: ANSI on Windows, UTF-8 elsewhere).
    int insertHostFile(uint16_t folderCluster, const char* hostPath, const char* name);
    // Creates folder `name` with its "." and ".." entries; `*newCluster` gets its first cluster.
    int createFolder(uint16_t parentCluster, const char* name, uint16_t date, uint16_t time,
                     uint16_t* newCluster);
    // Creates folder `name` and inserts the host folder's files and folders below it. A refused
    // file or folder inside does not stop the rest. `*inserted` (may be null) grows by one for
    // every file and folder that went in.
    int insertHostFolder(uint16_t folderCluster, const char* hostPath, const char* name,
                         int* inserted);
    // A host file or a whole host folder, under its own name.
    int insertHostPath(uint16_t folderCluster, const char* hostPath, int* inserted);
    // Each of `count` host paths as insertHostPath, in one operation: what the image's tree holds
    // is read once for them all. Returns 0 or the code of the first failure; the paths after a
    // failure still go in.
    int insertHostPaths(uint16_t folderCluster, const char* const* hostPaths, int count,
                        int* inserted);
    // Everything in host folder `hostFolder` (not the folder itself), in the order
    // hostListFolder gives, as insertHostPaths; 100 when the folder cannot be listed.
    int insertFolderContents(uint16_t folderCluster, const char* hostFolder, int* inserted);

    // Editing (directory/rename.cpp, directory/volume_label_entry.cpp), whole or not at all like
    // insertion. An entry is named by the walker's locations of its slots.
    //
    // Gives the entry a new long name and a fresh 8.3 name with insertion's name rules and clash
    // check (its own names do not clash), in the first run of free slots that holds them, its old
    // slots counted free; data, attributes, times and a folder's "." and ".." stay. 0 with the
    // new short entry's location in `*placedCluster`, `*placedIndex` (either may be null); 620,
    // 630, 640 as insertion, 610 or 600 when the folder has no room and cannot grow, 660 when
    // the location names no file or folder entry of the folder ("." and ".." included).
    int renameEntry(uint16_t folderCluster, int32_t entryCluster, int32_t entryIndex,
                    int32_t longNameCluster, int32_t longNameIndex, const char* newName,
                    int32_t* placedCluster = nullptr, int32_t* placedIndex = nullptr);
    // Sets, then clears, the read-only, hidden, system and archive bits given (other bits of
    // the masks are ignored: the folder and label bits are never changed). 0; 660 as above.
    int setAttributes(int32_t entryCluster, int32_t entryIndex, uint8_t setBits, uint8_t clearBits);
    // The label by readVolumeLabel's rule, into the root's label entry (made in the first free
    // root slot when there is none, removed for an empty label) and into the boot sector when it
    // has the extended boot signature (it holds no label field otherwise); "NO NAME" there for
    // an empty label. 0; 670 a refused label; 610 the root has no free slot for a new entry.
    int setVolumeLabel(const char* text);
    // The label of the root's label entry (11 bytes, blank-padded), as DOS and Windows read the
    // volume's label; false when there is none.
    bool readLabelEntry(uint8_t* label) const;

    // --- floppy transfers (floppy/) ---------------------------------------------------------
    // TransferProgress (floppy/transfer_progress.cpp): the drive dialog's view of a transfer.
    char* copyStatusText(char* out);  // `out` holds at least kStatusTextSize characters
    // Set before a transfer starts: the sink it reports to (null: nobody) and keepRunning.
    void setNotifyTarget(const TransferSink* sink, uint8_t keepRunningValue);
    // Cancel: the running transfer stops at its next check point. Safe from any thread.
    void requestStop() { keepRunning.store(0); }
    int32_t progressPercent() const;  // 0 while sectorsTotal is 0; not clamped
    // Each transfer publishes its steps to notifySink, stops at its check points once
    // keepRunning is 0 (result 200) and always ends with the closing step, which reports the end.
    // readFromFloppy (floppy/read_floppy.cpp): the floppy in `driveName` ("A:") becomes the image.
    // 0; 100 drive not opened (no disk, access denied, or otherwise) or locked, no memory to keep
    // the current image, or an area before the clusters not read whole; 110 invalid boot sector;
    // 120 a cluster not read whole; 200 cancelled. On anything but 0 the previous image is back,
    // byte for byte.
    int readFromFloppy(const char* driveName);
    // writeToFloppy (floppy/write_floppy.cpp): matches the media, formats (unless `mode` says
    // not to), writes every area, then verifies. 0; 100 drive not opened, locked or queried, a
    // cylinder not formatted, an area before the clusters not written whole; 110 a layout the
    // floppy cannot take (nothing touched); 120 a cluster not written whole; 130 no media
    // geometry matches (without formatting: the disk's own); 140 verification failed; 200
    // cancelled. The image is unchanged but for the re-encoded FATs.
    int writeToFloppy(const char* driveName, FloppyWriteMode mode);
    int writeToFloppy(const char* driveName);  // formats first
    // verifyFloppy (floppy/verify_floppy.cpp): reads the written floppy back into the backup set
    // and compares; with a `result` other than 0 only opens, locks and releases the drive.
    // Returns `result`, 140 (drive not opened or locked again, or a difference) or 200.
    int verifyFloppy(const char* driveName, int result);
    // Conventions of the transfers: format the step text and send it; a check point (true when
    // the user asked to stop, the result then being 200); the closing step, returning `result`.
    void publishStep(const char* format, ...)
#if defined(__GNUC__)
        __attribute__((format(printf, 2, 3)))
#endif
        ;
    bool checkPoint(int& result);
    int finishTransfer(int result);

    // --- state (the volume itself: VolumeState) ------------------------------------------
    // The file the image was last loaded from or saved to, as it was then.
    FileStamp loadedFile;
    // False for a program that saves once and ends: the saved file's stamp would serve only a
    // later save, and costs a read and hash of the whole file.
    bool stampSavedFile = true;
    // The backup set while a load, a floppy read or a verify runs; null otherwise.
    std::unique_ptr<VolumeState> backup;

    // The walker's position (directory/folder_walk.cpp).
    WalkCursor walkCursor;

    // TransferProgress, shared with the drive dialog's thread. keepRunning is the one field
    // written by one thread while the other runs, hence atomic.
    const TransferSink* notifySink;
    std::atomic<uint8_t> keepRunning;
    char statusText[kStatusTextSize];
    char messageText[kMessageTextSize];
    int32_t sectorsDone;
    int32_t sectorsTotal;

    // The walker's copy of the folder cluster it is in; filled before it is read, never cleared.
    uint8_t clusterCopy[kMaxClusterBytes];

    // Extraction's scratch, kept from one file to the next (directory/extract.cpp): the buffer
    // that gathers the pieces of a fragmented chain, allocated when first needed.
    std::unique_ptr<uint8_t[]> extractBuffer;
};

#endif

// The containers an image file may come in: the raw volume bytes, or a ZIP archive (.imz), a
// gzip stream, an ImageDisk (.imd) or Teledisk (.td0) file holding them. A container is known by
// its content, never by its name. The load pass reads the decoded bytes through ImageSource
// (image/image_stream.h), the save pass writes them through ImageSink, which encodes them.
#ifndef TOLVEN_IMAGE_CONTAINER_H
#define TOLVEN_IMAGE_CONTAINER_H

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class HostFile;
class VolumeImage;

enum ContainerKind {
    kContainerRaw,
    kContainerZip,
    kContainerGzip,
    kContainerImageDisk,
    kContainerTeledisk,  // read only
};

// A container never decodes to more than this: larger than any floppy format's volume.
const uint32_t kMaxContainerImageBytes = 4u * 1024 * 1024;
// Nor is a container file read that is longer than this.
const uint32_t kMaxContainerFileBytes = 64u * 1024 * 1024;

// What the image remembers of the file it came from, so that a save keeps it.
struct ContainerState {
    ContainerKind kind = kContainerRaw;
    std::string member;   // the ZIP member the image is
    std::string comment;  // an ImageDisk file's comment, written back
    // The other members of a ZIP archive, written back as they were: their local records
    // (header, name, data, descriptor) one after the other, and their central entries.
    std::vector<uint8_t> zipOthers;
    std::vector<uint8_t> zipOtherEntries;
    uint16_t zipOtherCount = 0;
    // Tracks the image cannot hold as a FAT12 volume (the reason names the first): the image is
    // shown, not saved.
    bool readOnly = false;
    std::string readOnlyReason;
    // Data clusters (2..) whose sectors the container marks unreadable or does not hold: bad in
    // the cluster map, whatever the FAT says. Sorted.
    std::vector<uint16_t> badClusters;
};

// "raw", "imz", "gz", "imd", "td0": the names the command line takes and prints.
const char* containerName(ContainerKind kind);
bool parseContainerName(const char* text, ContainerKind* kind);
// The container a new file of this name gets when none is asked for: by its extension
// (.imz/.zip, .gz, .imd), else raw.
ContainerKind containerForNewFile(const char* path);
bool isWritableContainer(ContainerKind kind);

// One sector of an ImageDisk or Teledisk track, as the file describes it.
struct TrackSector {
    uint8_t id = 0;          // the sector number of its ID field
    uint32_t size = 0;       // bytes
    bool hasData = false;    // data bytes held (at `data` in the decoder's pool)
    bool deleted = false;    // deleted-data address mark
    bool error = false;      // read with a data error
    uint32_t data = 0;
};

struct ContainerTrack {
    uint8_t cylinder = 0;
    uint8_t head = 0;
    std::vector<TrackSector> sectors;
};

// What a container decodes to: the volume's bytes, and for sector containers the sectors they do
// not hold as a FAT12 volume needs them.
struct DecodedImage {
    std::vector<uint8_t> bytes;
    ContainerState state;
    // ZIP archives of several images: their member names, when none was chosen.
    std::vector<std::string> members;
    // Byte offsets (sector * 512) of sectors missing, unreadable or not of 512 bytes, and the
    // ones of those the container marks bad; the message of the first such track.
    std::vector<uint32_t> missingSectors;
    std::vector<uint32_t> badSectors;
    std::string trackProblem;
};

// Where a ZIP member's or a gzip file's packed bytes lie in the file, and what they must give.
struct PackedStream {
    size_t offset = 0;
    size_t length = 0;
    bool gzip = false;    // gzip checks its own size and CRC
    bool stored = false;  // a stored ZIP member: the bytes as they are
    uint32_t size = 0;    // a ZIP member's declared size and CRC
    uint32_t crc = 0;
    std::string name;  // the member's, for messages
};

// Inflates a packed stream as the load pass reads it, in order, straight into the bytes it
// reads into: an open image costs the packed file and the image, not a second copy of it.
// Nothing past kMaxContainerImageBytes is inflated. Failures are queued on the image at once.
class InflateStream {
public:
    InflateStream();
    ~InflateStream();
    InflateStream(const InflateStream&) = delete;
    InflateStream& operator=(const InflateStream&) = delete;
    // `file` must outlive the stream.
    bool start(VolumeImage& im, const uint8_t* file, const PackedStream& packed);
    // `count` bytes at `offset`, at or after the end of the last read (the bytes between are
    // passed over); `*got` is short only at the end. False on damaged or too much data.
    bool read(uint64_t offset, void* into, uint32_t count, uint32_t* got);
    // After the last read: inflates what is left and checks the sizes and CRC. 0 or 110.
    int finish();

private:
    struct State;
    std::unique_ptr<State> s_;
};

// The member of a ZIP archive to open (`member`, or the one image), checked against the file,
// and the other members kept to be written back (out->state). 0, 110 or 690 as decodeContainer.
int locateZipMember(VolumeImage& im, const std::vector<uint8_t>& file, const char* member,
                    DecodedImage* out, PackedStream* packed);

// The container the first bytes of a file announce; raw when none does.
ContainerKind detectContainer(const uint8_t* head, uint32_t length);
// True when the host file looks like a disk image by its first bytes: a container the loader
// opens announces itself, or a raw file begins with a FAT12 boot sector it takes. Not proof: a
// ZIP of documents is asked about too. What a dropped file is offered as.
bool looksLikeImageFile(const char* path);

// Decodes the whole file as `kind` into `out`. `member` (may be null) chooses a ZIP member.
// 0; 110 refused (the message says why); 100 not read; 690 a ZIP of several images and no member
// chosen (out->members lists them).
int decodeContainer(VolumeImage& im, HostFile& file, ContainerKind kind, const char* member,
                    DecodedImage* out);
// The whole file, refused past kMaxContainerFileBytes. 0, 100 or 110.
int readWholeFile(VolumeImage& im, HostFile& file, std::vector<uint8_t>* bytes);
// Encodes the volume bytes into the open file. 0; 100 not written; 110 not encodable (message).
int encodeContainer(VolumeImage& im, const std::vector<uint8_t>& bytes, ContainerKind kind,
                    const char* path, HostFile& file);

// After the load pass: refuses (110, with the track's message) an image whose boot sector, FATs
// or root directory lie on sectors the container does not hold; else records the read-only state
// and the clusters to show as bad.
int settleContainerImage(VolumeImage& im, DecodedImage& decoded);

// The decoders, on the whole file in memory (image/container_*.cpp). Each checks every size,
// count and offset against the bytes it has before using it. 0 or 110 with a message. The load
// pass reads ZIP and gzip files through InflateStream instead; these give the whole image.
int decodeZip(VolumeImage& im, const std::vector<uint8_t>& file, const char* member,
              DecodedImage* out);
int decodeGzip(VolumeImage& im, const std::vector<uint8_t>& file, DecodedImage* out);
int decodeImageDisk(VolumeImage& im, const std::vector<uint8_t>& file, DecodedImage* out);
int decodeTeledisk(VolumeImage& im, const std::vector<uint8_t>& file, DecodedImage* out);
// Lays the sectors of sector-container tracks out as a FAT12 volume (cylinder, head, sector
// order) into `out`, noting what cannot be laid out. `pool` holds the sectors' data.
int assembleTracks(VolumeImage& im, const std::vector<ContainerTrack>& tracks,
                   const std::vector<uint8_t>& pool, DecodedImage* out);

int encodeZip(VolumeImage& im, const std::vector<uint8_t>& bytes, const std::string& member,
              std::vector<uint8_t>* out);
int encodeGzip(VolumeImage& im, const std::vector<uint8_t>& bytes, std::vector<uint8_t>* out);
int encodeImageDisk(VolumeImage& im, const std::vector<uint8_t>& bytes, std::vector<uint8_t>* out);

#endif

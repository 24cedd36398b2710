#include <cstring>
#include <initializer_list>

#include "image/boot_sector.h"
#include "image/disk_types.h"
#include "image/entry_format.h"
#include "image/volume_image.h"
#include "image/volume_label.h"

// Copies up to `width` characters of `text` and pads with blanks, as the boot sector stores the
// OEM ID.
static void copyPadded(uint8_t* out, const char* text, int width) {
    int i = 0;
    for (; i < width && text != nullptr && text[i] != '\0'; ++i)
        out[i] = static_cast<uint8_t>(text[i]);
    for (; i < width; ++i) out[i] = ' ';
}

int VolumeImage::createImage(ModuleHandle module, int diskType, const char* label,
                             const char* oemId) {
    uint8_t sector[bs::kSize];
    if (!loadBootTemplate(module, sector)) {
        queueMessage("Could not load bootcode resource!");
        return kResultNoTemplate;
    }
    // An index outside the table would read past it; the callers offer only its types, so this
    // falls back to the default type rather than inventing a message.
    if (diskType < 0 || diskType >= kDiskTypeCount) diskType = kDefaultDiskType;

    reset();
    std::memcpy(bootSector, sector, sizeof bootSector);

    FatStamp now = labelStampNow();

    uint8_t* b = bootSector;
    copyPadded(b + bs::kOemId, oemId, 8);
    writeLe16(b + bs::kBytesPerSector, DiskTypeTable::bytesPerSector);
    b[bs::kSectorsPerCluster] = DiskTypeTable::sectorsPerCluster[diskType];
    writeLe16(b + bs::kReservedSectors, 1);
    b[bs::kNumberOfFats] = 2;
    writeLe16(b + bs::kRootEntries, DiskTypeTable::rootEntries[diskType]);
    writeLe16(b + bs::kTotalSectors, DiskTypeTable::totalSectors[diskType]);
    b[bs::kMediaDescriptor] = DiskTypeTable::mediaDescriptor[diskType];
    writeLe16(b + bs::kSectorsPerFat, DiskTypeTable::sectorsPerFat[diskType]);
    writeLe16(b + bs::kSectorsPerTrack, DiskTypeTable::sectorsPerTrack[diskType]);
    writeLe16(b + bs::kHeads, DiskTypeTable::heads[diskType]);
    writeLe32(b + bs::kHiddenSectors, 0);
    writeLe32(b + bs::kTotalSectors32, 0);
    b[bs::kDriveNumber] = 0;
    b[bs::kReserved] = 0;
    b[bs::kExtendedSignature] = 0x29;
    writeLe32(b + bs::kSerialNumber, (static_cast<uint32_t>(now.date) << 16) | now.time);
    // Callers check the label with readVolumeLabel first; one that slipped through is no label.
    uint8_t stored[11];
    bool labelled = readVolumeLabel(label, stored) == kLabelOk;
    if (!labelled) readVolumeLabel("", stored);
    std::memcpy(b + bs::kVolumeLabel, stored, 11);
    std::memcpy(b + bs::kFileSystemType, DiskTypeTable::fileSystemType, 8);

    computeGeometry();

    for (uint8_t* fat : {fat1, fat2}) {
        fat[0] = DiskTypeTable::mediaDescriptor[diskType];
        fat[1] = 0xFF;
        fat[2] = 0xFF;
    }

    // An empty label has no entry: eleven blanks would be a label that fsck and DOS refuse.
    if (labelled) {
        rootDir[de::kAttributes] = de::kAttrVolumeLabel;
        writeLabelEntry(rootDir, stored, now);
    }
    return kResultOk;
}

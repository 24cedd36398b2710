// A uniform call around the platform's open and save file dialogs. Each command makes one chooser
// for one dialog and discards it; nothing is kept between commands.
#ifndef TOLVEN_UI_FILE_CHOOSER_H
#define TOLVEN_UI_FILE_CHOOSER_H

#include <windows.h>
#include <commdlg.h>

#include <string>

const int kFilterBlockSize = 2000;
const int kChooserTextSize = 260;  // UTF-16 units of a path the dialog takes
// The callers' buffers hold paths and names in UTF-8, up to three bytes for each unit.
const int kChooserPathBytes = kChooserTextSize * 3;

// Filter blocks: (description, pattern) pairs of NUL-terminated strings, then an empty string;
// the rest of each 2000-byte block is zero.
extern const char kImageFileFilter[kFilterBlockSize];
// Save As: one type for each container written (raw, IMZ, gzip, ImageDisk), in that order.
extern const char kImageSaveFilter[kFilterBlockSize];
extern const char kBootSectorFilter[kFilterBlockSize];
extern const char kBootCodeFilter[kFilterBlockSize];
extern const char kAnyFileFilter[kFilterBlockSize];

class FileChooser {
public:
    // Copies the filter block (filterLength bytes, at most 2000), the default extension and the
    // title (none when null), all in UTF-8, and fills the dialog record for the next choose call.
    void setup(const char* filterBlock, int filterLength, const char* defaultExtension,
               const char* title);
    // The folder the next dialog starts in (after setup); none when empty or too long.
    void startIn(const std::string& folder);
    // The single-file dialogs (the wide ones: any name can be chosen). `path` and `title` are the
    // caller's kChooserPathBytes-byte buffers, in UTF-8: `path` is offered as the initial file
    // name. True with error 0 when a file was chosen (both buffers then hold the choice); false
    // with CommDlgExtendedError() otherwise (0: the user cancelled), the buffers unchanged.
    // chooseSave asks before an existing file is taken.
    bool chooseOpen(HWND owner, char* path, char* title, DWORD& error);
    bool chooseSave(HWND owner, char* path, char* title, DWORD& error);
    // Explorer-style multiple selection into the caller's buffers, in UTF-8: the folder, then each
    // file name, NUL-separated, ending with an empty string (one selection: one full path).
    // A selection too long for a buffer gives false with FNERR_BUFFERTOOSMALL.
    bool chooseOpenMultiple(HWND owner, char* fileBuffer, DWORD fileBufferSize, char* titleBuffer,
                            DWORD titleBufferSize, DWORD& error);

    OPENFILENAMEW dialogRecord;
    wchar_t defaultExt[kChooserTextSize];
    wchar_t filePath[kChooserTextSize];
    wchar_t fileTitle[kChooserTextSize];
    wchar_t dialogTitle[kChooserTextSize];
    wchar_t filter[kFilterBlockSize];
    wchar_t startFolder[kChooserTextSize];

private:
    bool chooseSingle(HWND owner, char* path, char* title, DWORD flags, bool save, DWORD& error);
};

#endif

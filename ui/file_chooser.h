// A uniform call around the platform's open and save file dialogs. Each command makes one chooser
// for one dialog and discards it; nothing is kept between commands.
#ifndef TOLVEN_UI_FILE_CHOOSER_H
#define TOLVEN_UI_FILE_CHOOSER_H

#include <windows.h>
#include <commdlg.h>

#include <string>

const int kFilterBlockSize = 2000;
const int kChooserTextSize = 260;

// Filter blocks: (description, pattern) pairs of NUL-terminated strings, then an empty string;
// the rest of each 2000-byte block is zero.
extern const char kImageFileFilter[kFilterBlockSize];
extern const char kBootSectorFilter[kFilterBlockSize];
extern const char kBootCodeFilter[kFilterBlockSize];
extern const char kAnyFileFilter[kFilterBlockSize];

class FileChooser {
public:
    // Copies the filter block (filterLength bytes, at most 2000), the default extension and the
    // title (none when null) and fills the dialog record for the next choose call.
    void setup(const char* filterBlock, int filterLength, const char* defaultExtension,
               const char* title);
    // The folder the next dialog starts in (after setup); none when empty or too long.
    void startIn(const std::string& folder);
    // The single-file dialogs. `path` and `title` are the caller's 260-byte buffers: `path` is
    // offered as the initial file name. True with error 0 when a file was chosen (both buffers
    // then hold the choice); false with CommDlgExtendedError() otherwise (0: the user cancelled),
    // the buffers unchanged. chooseSave asks before an existing file is taken.
    bool chooseOpen(HWND owner, char* path, char* title, DWORD& error);
    bool chooseSave(HWND owner, char* path, char* title, DWORD& error);
    // Explorer-style multiple selection straight into the caller's buffers: the folder, then each
    // file name, NUL-separated, ending with an empty string (one selection: one full path).
    // A selection too long for the buffer gives false with FNERR_BUFFERTOOSMALL.
    bool chooseOpenMultiple(HWND owner, char* fileBuffer, DWORD fileBufferSize, char* titleBuffer,
                            DWORD titleBufferSize, DWORD& error);

    OPENFILENAMEA dialogRecord;
    char defaultExt[kChooserTextSize];
    char filePath[kChooserTextSize];
    char fileTitle[kChooserTextSize];
    char dialogTitle[kChooserTextSize];
    char filter[kFilterBlockSize];
    char startFolder[kChooserTextSize];

private:
    bool chooseSingle(HWND owner, char* path, char* title, DWORD flags, bool save, DWORD& error);
};

#endif

// What the window does around loading and saving an image file beside other programs: the
// image's lock for the load and for the save (never while the image is only open, so that
// tolven-cli and other tools can work on the file meanwhile), the question when the file was
// changed by another program since it was opened, and the offer of a save in place where the
// folder refuses the replacement.
#include <windows.h>

#include <cstdio>
#include <string>

#include "image/error_report.h"
#include "platform/host_lock.h"
#include "ui/image_editor.h"
#include "ui/wide_text.h"

namespace {

// A command waits this long for a tolven-cli run on the same image to end.
const int kLockWaitMs = 3000;

// A message box whose Yes and No buttons carry other texts: a CBT hook of the window's thread
// renames them when the box is activated, before it is shown.
HHOOK g_buttonHook = nullptr;
const wchar_t* g_yesText = nullptr;
const wchar_t* g_noText = nullptr;

LRESULT CALLBACK renameButtons(int code, WPARAM wParam, LPARAM lParam) {
    HHOOK hook = g_buttonHook;
    if (code == HCBT_ACTIVATE) {
        HWND box = reinterpret_cast<HWND>(wParam);
        SetDlgItemTextW(box, IDYES, g_yesText);
        SetDlgItemTextW(box, IDNO, g_noText);
        UnhookWindowsHookEx(g_buttonHook);
        g_buttonHook = nullptr;
    }
    return CallNextHookEx(hook, code, wParam, lParam);
}

int askWithButtons(HWND owner, const std::string& text, const wchar_t* yes, const wchar_t* no) {
    g_yesText = yes;
    g_noText = no;
    g_buttonHook = SetWindowsHookExW(WH_CBT, renameButtons, nullptr, GetCurrentThreadId());
    int answer = messageBoxUtf8(owner, text, "Warning", MB_YESNOCANCEL | MB_ICONWARNING);
    if (g_buttonHook != nullptr) UnhookWindowsHookEx(g_buttonHook);
    g_buttonHook = nullptr;
    return answer;
}

}  // namespace

int ImageEditor::loadImageLocked(const char* path, const char* member) {
    HostLock lock;
    int result = lockImageFile(lock, path, kLockWaitMs);
    return result == kResultOk ? loadImageFile(path, member) : result;
}

int ImageEditor::saveChecked(const char* path, ContainerKind kind, bool overOpenedFile) {
    HostLock lock;
    int result = lockImageFile(lock, path, kLockWaitMs);
    if (result != kResultOk) return result;
    if (overOpenedFile && checkImageFileUnchanged(path) != kResultOk) {
        composeErrorReport(*this, nullptr, kNoErrorCode, 0);  // the question says it instead
        char question[96 + kPathSize];
        std::snprintf(question, sizeof question,
                      "Image \"%s\" was changed by another program since it was opened.",
                      imageName);
        int answer = askWithButtons(mainWindow, question, L"Save &As", L"&Overwrite");
        if (answer == IDYES) return kResultSaveAsWanted;
        if (answer != IDNO) return kResultCancelled;
    }
    result = saveImageFile(path, kind);
    if (result != kResultReplaceRefused) return result;
    std::string reason;
    for (const std::string& line : composeErrorReport(*this, path, kNoErrorCode, kEveryMessage))
        reason += "\n" + line;
    std::string question = "The image's folder lets no new file take its place:" + reason +
                           "\n\nWrite the image over the file in place? A failure half-way "
                           "leaves the file damaged.";
    if (messageBoxUtf8(mainWindow, question, "Warning", MB_YESNO | MB_ICONWARNING) != IDYES)
        return kResultCancelled;
    return saveImageFile(path, kind, kSaveInPlace);
}

#include "ui/drag_out.h"

#include <shlobj.h>

#include <cstring>
#include <cwchar>

#include "ui/wide_text.h"

namespace {

const wchar_t kRootName[] = L"Tolven drag out";

// "<temp>\Tolven drag out\" (empty when the system names no temporary folder).
std::wstring rootFolder() {
    wchar_t temp[MAX_PATH + 1] = {0};
    if (GetTempPathW(MAX_PATH + 1, temp) == 0) return std::wstring();
    return std::wstring(temp) + kRootName + L"\\";
}

// What every folder of this process starts with.
std::wstring ownPrefix() {
    return rootFolder() + std::to_wstring(GetCurrentProcessId()) + L"-";
}

bool startsWithNoCase(const std::wstring& text, const std::wstring& prefix) {
    return !prefix.empty() && text.size() >= prefix.size() &&
           CompareStringOrdinal(text.c_str(), static_cast<int>(prefix.size()), prefix.c_str(),
                                static_cast<int>(prefix.size()), TRUE) == CSTR_EQUAL;
}

// Deletes a folder with everything in it. Extracted copies may be read-only, which DeleteFile
// refuses; the folders hold only what extraction made, never a link to follow.
void removeTree(const std::wstring& folder) {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::wstring name = found.cFileName;
            if (name == L"." || name == L"..") continue;
            std::wstring path = folder + L"\\" + name;
            SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                removeTree(path);
            else
                DeleteFileW(path.c_str());
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    RemoveDirectoryW(folder.c_str());
}

bool processRunning(DWORD id) {
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, id);
    if (process == nullptr) return false;
    bool running = WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
    CloseHandle(process);
    return running;
}

// The first path of the clipboard's CF_HDROP, empty when it names no file.
std::wstring clipboardFirstPath() {
    std::wstring path;
    if (!IsClipboardFormatAvailable(CF_HDROP) || !OpenClipboard(nullptr)) return path;
    HDROP drop = static_cast<HDROP>(GetClipboardData(CF_HDROP));
    UINT length = drop != nullptr ? DragQueryFileW(drop, 0, nullptr, 0) : 0;
    if (length > 0) {
        path.assign(length + 1, L'\0');
        path.resize(DragQueryFileW(drop, 0, &path[0], length + 1));
    }
    CloseClipboard();
    return path;
}

// An HGLOBAL holding `bytes` bytes from `data`; null when memory runs out.
HGLOBAL globalCopy(const void* data, size_t bytes) {
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
    void* target = memory != nullptr ? GlobalLock(memory) : nullptr;
    if (target == nullptr) {
        if (memory != nullptr) GlobalFree(memory);
        return nullptr;
    }
    std::memcpy(target, data, bytes);
    GlobalUnlock(memory);
    return memory;
}

// Offers CF_HDROP and the preferred effect, both rendered afresh in global memory on each request;
// setting data (Explorer's notes of what it did) is declined.
class FileDataObject : public IDataObject {
public:
    explicit FileDataObject(const std::vector<std::string>& paths) {
        DROPFILES header;
        std::memset(&header, 0, sizeof header);
        header.pFiles = sizeof header;
        header.fWide = TRUE;
        drop_.resize(sizeof header);
        std::memcpy(&drop_[0], &header, sizeof header);
        std::wstring names;
        for (const std::string& path : paths) names += wideText(path) + L'\0';
        names += L'\0';
        const char* raw = reinterpret_cast<const char*>(names.c_str());
        drop_.insert(drop_.end(), raw, raw + names.size() * sizeof(wchar_t));
        UINT effectFormat = RegisterClipboardFormatW(CFSTR_PREFERREDDROPEFFECT);
        formats_[0] = {CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
        formats_[1] = {static_cast<CLIPFORMAT>(effectFormat), nullptr, DVASPECT_CONTENT, -1,
                       TYMED_HGLOBAL};
    }
    virtual ~FileDataObject() = default;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** object) override {
        if (object == nullptr) return E_POINTER;
        *object = nullptr;
        if (!IsEqualIID(id, IID_IUnknown) && !IsEqualIID(id, IID_IDataObject))
            return E_NOINTERFACE;
        *object = static_cast<IDataObject*>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override {
        return static_cast<ULONG>(InterlockedIncrement(&references_));
    }
    ULONG STDMETHODCALLTYPE Release() override {
        LONG left = InterlockedDecrement(&references_);
        if (left == 0) delete this;
        return static_cast<ULONG>(left);
    }
    HRESULT STDMETHODCALLTYPE GetData(FORMATETC* format, STGMEDIUM* medium) override {
        if (format == nullptr || medium == nullptr) return E_INVALIDARG;
        int index = formatIndex(*format);
        if (index < 0) return DV_E_FORMATETC;
        DWORD effect = DROPEFFECT_COPY;
        HGLOBAL memory = index == 0 ? globalCopy(drop_.data(), drop_.size())
                                    : globalCopy(&effect, sizeof effect);
        if (memory == nullptr) return E_OUTOFMEMORY;
        medium->tymed = TYMED_HGLOBAL;
        medium->hGlobal = memory;
        medium->pUnkForRelease = nullptr;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC*, STGMEDIUM*) override {
        return DATA_E_FORMATETC;
    }
    HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC* format) override {
        return format != nullptr && formatIndex(*format) >= 0 ? S_OK : DV_E_FORMATETC;
    }
    HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) override {
        if (out != nullptr) out->ptd = nullptr;
        return DATA_S_SAMEFORMATETC;
    }
    HRESULT STDMETHODCALLTYPE SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD direction, IEnumFORMATETC** out) override {
        if (out == nullptr) return E_POINTER;
        *out = nullptr;
        if (direction != DATADIR_GET) return E_NOTIMPL;
        return SHCreateStdEnumFmtEtc(2, formats_, out);
    }
    HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override {
        return OLE_E_ADVISENOTSUPPORTED;
    }
    HRESULT STDMETHODCALLTYPE DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
    HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA**) override {
        return OLE_E_ADVISENOTSUPPORTED;
    }

private:
    int formatIndex(const FORMATETC& format) const {
        for (int i = 0; i < 2; ++i)
            if (format.cfFormat == formats_[i].cfFormat && (format.tymed & TYMED_HGLOBAL) != 0 &&
                format.dwAspect == DVASPECT_CONTENT)
                return i;
        return -1;
    }

    LONG references_ = 1;
    std::vector<char> drop_;  // DROPFILES and the wide paths, each ended by 0, then one more 0
    FORMATETC formats_[2];
};

// The left button's drag: dropped when the button is let go, cancelled by Escape.
class CopyDropSource : public IDropSource {
public:
    virtual ~CopyDropSource() = default;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** object) override {
        if (object == nullptr) return E_POINTER;
        *object = nullptr;
        if (!IsEqualIID(id, IID_IUnknown) && !IsEqualIID(id, IID_IDropSource))
            return E_NOINTERFACE;
        *object = static_cast<IDropSource*>(this);
        return S_OK;
    }
    // Lives on the stack of dragFiles, which outlasts every use.
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE QueryContinueDrag(BOOL escape, DWORD keys) override {
        if (escape) return DRAGDROP_S_CANCEL;
        return (keys & MK_LBUTTON) == 0 ? DRAGDROP_S_DROP : S_OK;
    }
    HRESULT STDMETHODCALLTYPE GiveFeedback(DWORD) override {
        return DRAGDROP_S_USEDEFAULTCURSORS;
    }
};

}  // namespace

void DragOutFolders::removeLeftovers() {
    std::wstring root = rootFolder();
    std::wstring named = clipboardFirstPath();
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((root + L"*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) continue;
        // "<process id>-<n>": anything else is not one of these folders.
        wchar_t* end = nullptr;
        unsigned long owner = std::wcstoul(found.cFileName, &end, 10);
        if (end == found.cFileName || *end != L'-') continue;
        std::wstring folder = root + found.cFileName;
        if (owner == GetCurrentProcessId() || processRunning(static_cast<DWORD>(owner)) ||
            startsWithNoCase(named, folder + L"\\"))
            continue;
        removeTree(folder);
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

std::string DragOutFolders::makeFolder() {
    // Several editors of one process (the window tests) share the numbering.
    static LONG counter = 0;
    std::wstring root = rootFolder();
    if (root.empty()) return std::string();
    CreateDirectoryW(root.c_str(), nullptr);
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::wstring folder = ownPrefix() + std::to_wstring(InterlockedIncrement(&counter));
        if (CreateDirectoryW(folder.c_str(), nullptr)) {
            made_.push_back(folder);
            return utf8Text(folder.c_str());
        }
        if (GetLastError() != ERROR_ALREADY_EXISTS) break;
    }
    return std::string();
}

bool DragOutFolders::holdsAll(const std::vector<std::string>& paths) const {
    std::wstring prefix = ownPrefix();
    for (const std::string& path : paths)
        if (!startsWithNoCase(wideText(path), prefix)) return false;
    return !paths.empty();
}

void DragOutFolders::removeOwn(const std::string& keep) {
    std::wstring kept = wideText(keep);
    for (const std::wstring& folder : made_)
        if (!startsWithNoCase(kept, folder + L"\\")) removeTree(folder);
    made_.clear();
}

IDataObject* createFileDataObject(const std::vector<std::string>& paths) {
    return new FileDataObject(paths);
}

void dragFiles(IDataObject* object) {
    CopyDropSource source;
    DWORD effect = DROPEFFECT_NONE;
    DoDragDrop(object, &source, DROPEFFECT_COPY, &effect);
}

std::vector<std::string> hdropPaths(HDROP drop) {
    std::vector<std::string> paths;
    UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
        UINT length = DragQueryFileW(drop, i, nullptr, 0);
        std::wstring path(length + 1, L'\0');
        if (length > 0 && DragQueryFileW(drop, i, &path[0], length + 1) > 0)
            paths.push_back(utf8Text(path.c_str()));
    }
    return paths;
}

std::vector<std::string> dataObjectPaths(IDataObject* object) {
    std::vector<std::string> paths;
    FORMATETC format = {CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM medium;
    std::memset(&medium, 0, sizeof medium);
    if (object == nullptr || object->GetData(&format, &medium) != S_OK) return paths;
    // A drop handle is the global memory handle itself.
    if (medium.tymed == TYMED_HGLOBAL) paths = hdropPaths(static_cast<HDROP>(medium.hGlobal));
    ReleaseStgMedium(&medium);
    return paths;
}

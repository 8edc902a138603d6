#include "widgets/drop_target.h"

#include <shellapi.h>
#include <shlobj.h>

#include <atomic>
#include <new>

#include "widgets/frame.h"

namespace VSTGUI {

namespace {

bool endsWithShortcut(const std::string& path) {
    if (path.size() < 4) {
        return false;
    }
    const std::string ending = path.substr(path.size() - 4);
    return CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, ending.c_str(), -1, ".lnk", -1) ==
           CSTR_EQUAL;
}

// What a shortcut points at, or the shortcut itself when it cannot be resolved.
std::string resolveShortcut(const std::string& path) {
    IShellLinkA* link = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                reinterpret_cast<void**>(&link)))) {
        return path;
    }
    std::string resolved = path;
    IPersistFile* file = nullptr;
    if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
        wchar_t wide[MAX_PATH] = {};
        if (MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH) > 0 &&
            SUCCEEDED(file->Load(wide, STGM_READ))) {
            char target[MAX_PATH] = {};
            if (SUCCEEDED(link->GetPath(target, MAX_PATH, nullptr, 0)) && target[0]) {
                resolved = target;
            }
        }
        file->Release();
    }
    link->Release();
    return resolved;
}

// COM objects go through Release(), never through a pointer to the interface.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
class FrameDropTarget : public IDropTarget {
public:
    explicit FrameDropTarget(CFrame* owner) : frame(owner) {}
    virtual ~FrameDropTarget() = default;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** object) override {
        if (!object) {
            return E_POINTER;
        }
        if (IsEqualIID(id, IID_IUnknown) || IsEqualIID(id, IID_IDropTarget)) {
            *object = static_cast<IDropTarget*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --references;
        if (left == 0) {
            delete this;
        }
        return left;
    }

    HRESULT STDMETHODCALLTYPE DragEnter(IDataObject* data, DWORD, POINTL, DWORD* effect) override {
        accepted = dropItemsOf(data).type != 0;
        return answer(effect);
    }
    HRESULT STDMETHODCALLTYPE DragOver(DWORD, POINTL, DWORD* effect) override {
        return answer(effect);
    }
    HRESULT STDMETHODCALLTYPE DragLeave() override {
        accepted = false;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Drop(IDataObject* data, DWORD, POINTL point, DWORD* effect) override {
        const DropItems dropped = dropItemsOf(data);
        accepted = false;
        if (effect) {
            *effect = DROPEFFECT_NONE;
        }
        if (dropped.type == 0 || !frame->getSystemWindow()) {
            return S_OK;
        }
        POINT client{point.x, point.y};
        ScreenToClient(static_cast<HWND>(frame->getSystemWindow()), &client);
        std::vector<const char*> items;
        for (const std::string& item : dropped.items) {
            items.push_back(item.c_str());
        }
        CPoint where(client.x, client.y);
        if (frame->onDrop(items.data(), static_cast<long>(items.size()), dropped.type, where) &&
            effect) {
            *effect = DROPEFFECT_COPY;
        }
        return S_OK;
    }

private:
    HRESULT answer(DWORD* effect) const {
        if (effect) {
            *effect = accepted ? DROPEFFECT_COPY : DROPEFFECT_NONE;
        }
        return S_OK;
    }

    CFrame* frame;
    std::atomic<ULONG> references{1};
    bool accepted = false;
};
#pragma GCC diagnostic pop

} // namespace

DropItems dropItemsOf(IDataObject* data) {
    DropItems dropped;
    if (!data) {
        return dropped;
    }
    FORMATETC files{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM medium{};
    if (data->GetData(&files, &medium) == S_OK) {
        HDROP drop = static_cast<HDROP>(medium.hGlobal);
        const UINT count = DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0);
        for (UINT i = 0; i < count; ++i) {
            char path[MAX_PATH] = {};
            if (DragQueryFileA(drop, i, path, MAX_PATH) > 0) {
                dropped.items.push_back(endsWithShortcut(path) ? resolveShortcut(path) : path);
            }
        }
        ReleaseStgMedium(&medium);
        dropped.type = dropped.items.empty() ? 0L : static_cast<long>(kDropFiles);
        return dropped;
    }
    FORMATETC text{CF_TEXT, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    if (data->GetData(&text, &medium) == S_OK) {
        const SIZE_T bytes = GlobalSize(medium.hGlobal);
        if (const char* chars = static_cast<const char*>(GlobalLock(medium.hGlobal))) {
            std::size_t length = 0;
            while (length < bytes && chars[length]) {
                ++length;
            }
            dropped.items.emplace_back(chars, length);
            dropped.type = kDropText;
            GlobalUnlock(medium.hGlobal);
        }
        ReleaseStgMedium(&medium);
    }
    return dropped;
}

IDropTarget* createDropTarget(CFrame* frame) {
    return new (std::nothrow) FrameDropTarget(frame);
}

} // namespace VSTGUI

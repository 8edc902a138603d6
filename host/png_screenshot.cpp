#include "host/png_screenshot.h"

#include <windows.h>

#include <objbase.h>
#include <wincodec.h>

#include "ui/win32_handles.h"
#include "win32/object_selection.h"

namespace kel::host {

using namespace kel::ui;

namespace {

// Releases a COM interface when it goes out of scope.
template <class T>
class ComPointer {
public:
    ComPointer() = default;
    ~ComPointer() {
        if (object) {
            object->Release();
        }
    }
    ComPointer(const ComPointer&) = delete;
    ComPointer& operator=(const ComPointer&) = delete;

    T* operator->() const { return object; }
    T* get() const { return object; }
    T** out() { return &object; }

private:
    T* object = nullptr;
};

std::string hresultText(const char* what, HRESULT result) {
    char text[96];
    wsprintfA(text, "%s failed (0x%08lX)", what, static_cast<unsigned long>(result));
    return text;
}

std::wstring widePath(const std::string& path) {
    const int length = MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length > 0 ? length : 1), L'\0');
    MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, &wide[0], length);
    wide.resize(wide.size() - 1);
    return wide;
}

bool encodePng(IWICImagingFactory* factory, const std::wstring& path, const ScreenImage& image,
               std::string& error) {
    ComPointer<IWICStream> stream;
    ComPointer<IWICBitmapEncoder> encoder;
    ComPointer<IWICBitmapFrameEncode> frame;
    ComPointer<IPropertyBag2> properties;
    HRESULT result = factory->CreateStream(stream.out());
    if (SUCCEEDED(result)) {
        result = stream->InitializeFromFilename(path.c_str(), GENERIC_WRITE);
        if (FAILED(result)) {
            error = "cannot write the file";
            return false;
        }
    }
    if (SUCCEEDED(result)) {
        result = factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, encoder.out());
    }
    if (SUCCEEDED(result)) {
        result = encoder->Initialize(stream.get(), WICBitmapEncoderNoCache);
    }
    if (SUCCEEDED(result)) {
        result = encoder->CreateNewFrame(frame.out(), properties.out());
    }
    if (SUCCEEDED(result)) {
        result = frame->Initialize(properties.get());
    }
    if (SUCCEEDED(result)) {
        result = frame->SetSize(static_cast<UINT>(image.width), static_cast<UINT>(image.height));
    }
    WICPixelFormatGUID format = GUID_WICPixelFormat24bppBGR;
    if (SUCCEEDED(result)) {
        result = frame->SetPixelFormat(&format);
    }
    if (SUCCEEDED(result) && !IsEqualGUID(format, GUID_WICPixelFormat24bppBGR)) {
        error = "the PNG encoder does not take 24-bit pixels";
        return false;
    }
    if (SUCCEEDED(result)) {
        result = frame->WritePixels(
            static_cast<UINT>(image.height), static_cast<UINT>(image.stride),
            static_cast<UINT>(image.pixels.size()), const_cast<BYTE*>(image.pixels.data()));
    }
    if (SUCCEEDED(result)) {
        result = frame->Commit();
    }
    if (SUCCEEDED(result)) {
        result = encoder->Commit();
    }
    if (FAILED(result)) {
        error = hresultText("PNG encoding", result);
        return false;
    }
    return true;
}

} // namespace

bool captureScreen(int x, int y, int width, int height, ScreenImage& image, std::string& error) {
    if (width <= 0 || height <= 0) {
        error = "nothing to capture";
        return false;
    }
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height; // top-down rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    const WindowDC screen(nullptr);
    const MemoryDC memory(CreateCompatibleDC(screen.get()));
    void* bits = nullptr;
    const GdiObject<HBITMAP> bitmap(
        CreateDIBSection(screen.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    bool copied = false;
    if (memory && bitmap && bits) {
        const win32::ObjectSelection selection(memory.get(), bitmap.get());
        copied = BitBlt(memory.get(), 0, 0, width, height, screen.get(), x, y,
                        SRCCOPY | CAPTUREBLT) != 0;
        GdiFlush();
    }
    if (copied) {
        image.width = width;
        image.height = height;
        image.stride = (static_cast<std::size_t>(width) * 3 + 3) & ~static_cast<std::size_t>(3);
        const unsigned char* first = static_cast<const unsigned char*>(bits);
        image.pixels.assign(first, first + image.stride * static_cast<std::size_t>(height));
    } else {
        error = "cannot copy the screen (error " + std::to_string(GetLastError()) + ")";
    }
    return copied;
}

bool writePng(const std::string& path, const ScreenImage& image, std::string& error) {
    // The calling thread may already be in COM (a plug-in's editor may have set it up); then
    // it keeps its own set-up and this call only balances what it added.
    const HRESULT init = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    bool written = false;
    {
        ComPointer<IWICImagingFactory> factory;
        const HRESULT result =
            CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                             IID_IWICImagingFactory, reinterpret_cast<void**>(factory.out()));
        if (FAILED(result)) {
            error = hresultText("creating the imaging factory", result);
        } else {
            written = encodePng(factory.get(), widePath(path), image, error);
        }
    }
    if (SUCCEEDED(init)) {
        CoUninitialize();
    }
    if (!written) {
        error = path + ": " + error;
        DeleteFileA(path.c_str());
    }
    return written;
}

} // namespace kel::host

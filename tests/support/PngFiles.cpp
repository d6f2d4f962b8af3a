#include "PngFiles.h"

#include <wincodec.h>

#include <cstdio>
#include <stdexcept>
#include <string>

namespace qrxtest {

namespace {

// Owns one COM interface reference.
template <class Interface>
class ComRef {
public:
    ComRef() = default;
    ~ComRef() {
        if (pointer_) pointer_->Release();
    }
    ComRef(const ComRef&) = delete;
    ComRef& operator=(const ComRef&) = delete;
    Interface** put() { return &pointer_; }
    Interface* operator->() const { return pointer_; }
    Interface* get() const { return pointer_; }

private:
    Interface* pointer_ = nullptr;
};

void check(HRESULT result, const char* step) {
    if (FAILED(result)) {
        char code[16];
        snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(result));
        throw std::runtime_error(std::string(step) + " failed: " + code);
    }
}

// COM for the calling thread while the object lives.
class ComScope {
public:
    ComScope() : initialised_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))) {}
    ~ComScope() {
        if (initialised_) CoUninitialize();
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;

private:
    bool initialised_;
};

void createFactory(ComRef<IWICImagingFactory>& factory) {
    check(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                           reinterpret_cast<void**>(factory.put())),
          "creating the imaging factory");
}

}  // namespace

void savePng(const std::wstring& path, UINT width, UINT height, UINT stride, const BYTE* bgrRows) {
    ComScope com;
    ComRef<IWICImagingFactory> factory;
    createFactory(factory);
    ComRef<IWICStream> stream;
    check(factory->CreateStream(stream.put()), "CreateStream");
    check(stream->InitializeFromFilename(path.c_str(), GENERIC_WRITE), "opening the PNG file for writing");
    ComRef<IWICBitmapEncoder> encoder;
    check(factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, encoder.put()), "CreateEncoder");
    check(encoder->Initialize(stream.get(), WICBitmapEncoderNoCache), "encoder Initialize");
    ComRef<IWICBitmapFrameEncode> frame;
    check(encoder->CreateNewFrame(frame.put(), nullptr), "CreateNewFrame");
    check(frame->Initialize(nullptr), "frame Initialize");
    check(frame->SetSize(width, height), "SetSize");
    WICPixelFormatGUID format = GUID_WICPixelFormat24bppBGR;
    check(frame->SetPixelFormat(&format), "SetPixelFormat");
    if (!IsEqualGUID(format, GUID_WICPixelFormat24bppBGR))
        throw std::runtime_error("the PNG encoder does not take 24-bit BGR pixels");
    check(frame->WritePixels(height, stride, stride * height, const_cast<BYTE*>(bgrRows)), "WritePixels");
    check(frame->Commit(), "frame Commit");
    check(encoder->Commit(), "encoder Commit");
}

Pixels loadPng(const std::wstring& path) {
    ComScope com;
    ComRef<IWICImagingFactory> factory;
    createFactory(factory);
    ComRef<IWICBitmapDecoder> decoder;
    check(factory->CreateDecoderFromFilename(path.c_str(), nullptr, GENERIC_READ, WICDecodeMetadataCacheOnDemand,
                                             decoder.put()),
          "opening the PNG file");
    ComRef<IWICBitmapFrameDecode> frame;
    check(decoder->GetFrame(0, frame.put()), "GetFrame");
    ComRef<IWICFormatConverter> converter;
    check(factory->CreateFormatConverter(converter.put()), "CreateFormatConverter");
    check(converter->Initialize(frame.get(), GUID_WICPixelFormat32bppBGRA, WICBitmapDitherTypeNone, nullptr, 0.0,
                                WICBitmapPaletteTypeCustom),
          "converter Initialize");
    Pixels pixels;
    check(converter->GetSize(&pixels.width, &pixels.height), "GetSize");
    pixels.bgra.resize(static_cast<size_t>(pixels.width) * pixels.height);
    check(converter->CopyPixels(nullptr, pixels.width * 4, static_cast<UINT>(pixels.bgra.size() * 4),
                                reinterpret_cast<BYTE*>(pixels.bgra.data())),
          "CopyPixels");
    return pixels;
}

}  // namespace qrxtest

#include "views/win32/picture.h"

#include <objbase.h>
#include <wincodec.h>

#include <cstring>
#include <vector>

namespace ferry {

Picture::~Picture() { Reset(); }

void Picture::Reset() {
  if (bitmap_) DeleteObject(bitmap_);
  bitmap_ = nullptr;
  bits_ = nullptr;
  width_ = height_ = 0;
}

bool Picture::Allocate(int w, int h) {
  Reset();
  if (w <= 0 || h <= 0 || w > 16384 || h > 16384) return false;
  BITMAPINFO bi = {};
  bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
  bi.bmiHeader.biWidth = w;
  bi.bmiHeader.biHeight = -h;  // top-down
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  bi.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  bitmap_ = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!bitmap_) return false;
  bits_ = static_cast<uint32_t*>(bits);
  width_ = w;
  height_ = h;
  std::memset(bits_, 0, static_cast<size_t>(w) * h * 4);
  return true;
}

bool Picture::Load(ImageFormat format, std::span<const uint8_t> bytes) {
  Reset();
  if (bytes.empty()) return false;
  switch (format) {
    case ImageFormat::kJpeg:
    case ImageFormat::kBitmap:
    case ImageFormat::kIcon:
      return LoadWic(bytes);
    case ImageFormat::kMetafile:
      return LoadMetafile(bytes);
    case ImageFormat::kNone:
      break;
  }
  return false;
}

bool Picture::LoadWic(std::span<const uint8_t> bytes) {
  HRESULT init = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  bool ok = false;
  IWICImagingFactory* factory = nullptr;
  IWICStream* stream = nullptr;
  IWICBitmapDecoder* decoder = nullptr;
  IWICBitmapFrameDecode* frame = nullptr;
  IWICFormatConverter* converter = nullptr;
  std::vector<uint8_t> copy(bytes.begin(), bytes.end());
  do {
    if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                reinterpret_cast<void**>(&factory))))
      break;
    if (FAILED(factory->CreateStream(&stream))) break;
    if (FAILED(stream->InitializeFromMemory(copy.data(), static_cast<DWORD>(copy.size())))) break;
    if (FAILED(factory->CreateDecoderFromStream(stream, nullptr, WICDecodeMetadataCacheOnDemand, &decoder))) break;
    if (FAILED(decoder->GetFrame(0, &frame))) break;
    UINT w = 0, h = 0;
    if (FAILED(frame->GetSize(&w, &h))) break;
    if (FAILED(factory->CreateFormatConverter(&converter))) break;
    if (FAILED(converter->Initialize(frame, GUID_WICPixelFormat32bppPBGRA, WICBitmapDitherTypeNone, nullptr, 0,
                                     WICBitmapPaletteTypeCustom)))
      break;
    if (!Allocate(static_cast<int>(w), static_cast<int>(h))) break;
    if (FAILED(converter->CopyPixels(nullptr, w * 4, w * h * 4, reinterpret_cast<BYTE*>(bits_)))) {
      Reset();
      break;
    }
    ok = true;
  } while (false);
  if (converter) converter->Release();
  if (frame) frame->Release();
  if (decoder) decoder->Release();
  if (stream) stream->Release();
  if (factory) factory->Release();
  if (SUCCEEDED(init)) CoUninitialize();
  return ok;
}

bool Picture::LoadMetafile(std::span<const uint8_t> bytes) {
  HENHMETAFILE emf = nullptr;
  if (bytes.size() >= 44 && bytes[0] == 1 && bytes[1] == 0 && bytes[2] == 0 && bytes[3] == 0 &&
      std::memcmp(bytes.data() + 40, " EMF", 4) == 0) {
    emf = SetEnhMetaFileBits(static_cast<UINT>(bytes.size()), bytes.data());
  } else {
    // A placeable header (22 bytes) carries the size; the records follow.
    size_t skip = 0;
    METAFILEPICT mfp = {MM_ANISOTROPIC, 0, 0, nullptr};
    if (bytes.size() > 22 && bytes[0] == 0xD7 && bytes[1] == 0xCD && bytes[2] == 0xC6 && bytes[3] == 0x9A) {
      int16_t l, t, r, b;
      uint16_t inch;
      std::memcpy(&l, bytes.data() + 6, 2);
      std::memcpy(&t, bytes.data() + 8, 2);
      std::memcpy(&r, bytes.data() + 10, 2);
      std::memcpy(&b, bytes.data() + 12, 2);
      std::memcpy(&inch, bytes.data() + 14, 2);
      if (inch == 0) inch = 1440;
      mfp.xExt = MulDiv(r - l, 2540, inch);
      mfp.yExt = MulDiv(b - t, 2540, inch);
      skip = 22;
    }
    emf = SetWinMetaFileBits(static_cast<UINT>(bytes.size() - skip), bytes.data() + skip, nullptr,
                             skip ? &mfp : nullptr);
  }
  if (!emf) return false;
  ENHMETAHEADER header = {};
  GetEnhMetaFileHeader(emf, sizeof(header), &header);
  int w = header.rclBounds.right - header.rclBounds.left + 1;
  int h = header.rclBounds.bottom - header.rclBounds.top + 1;
  bool ok = Allocate(w, h);
  if (ok) {
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, bitmap_);
    RECT all = {0, 0, w, h};
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    PlayEnhMetaFile(dc, emf, &all);
    GdiFlush();
    SelectObject(dc, old);
    DeleteDC(dc);
    for (int i = 0; i < w * h; ++i) bits_[i] |= 0xFF000000u;
  }
  DeleteEnhMetaFile(emf);
  return ok;
}

void Picture::MakeTransparent() {
  if (Empty()) return;
  uint32_t key = bits_[static_cast<size_t>(height_ - 1) * width_] & 0xFFFFFF;
  for (int i = 0; i < width_ * height_; ++i)
    if ((bits_[i] & 0xFFFFFF) == key && (bits_[i] >> 24) == 0xFF) bits_[i] = 0;
}

void Picture::Tile(int w, int h) {
  if (Empty() || w <= 0 || h <= 0) return;
  std::vector<uint32_t> tile(bits_, bits_ + static_cast<size_t>(width_) * height_);
  int tw = width_, th = height_;
  if (!Allocate(w, h)) return;
  for (int a = 0; a <= w / tw; ++a)
    for (int b = 0; b <= h / th; ++b)
      for (int y = 0; y < th && b * th + y < h; ++y)
        for (int x = 0; x < tw && a * tw + x < w; ++x)
          bits_[static_cast<size_t>(b * th + y) * w + a * tw + x] = tile[static_cast<size_t>(y) * tw + x];
}

void Picture::Draw(HDC dc, int x, int y, int w, int h) const {
  if (Empty() || w <= 0 || h <= 0) return;
  HDC src = CreateCompatibleDC(dc);
  HGDIOBJ old = SelectObject(src, bitmap_);
  BLENDFUNCTION blend = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
  SetStretchBltMode(dc, HALFTONE);
  // gdi32's own entry, which msimg32's AlphaBlend only forwards to: no
  // extra DLL for the program to load.
  GdiAlphaBlend(dc, x, y, w, h, src, 0, 0, width_, height_, blend);
  SelectObject(src, old);
  DeleteDC(src);
}

uint32_t Picture::Pixel(int x, int y) const {
  if (Empty() || x < 0 || y < 0 || x >= width_ || y >= height_) return 0;
  return bits_[static_cast<size_t>(y) * width_ + x] & 0xFFFFFF;
}

}  // namespace ferry

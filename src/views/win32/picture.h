// Pictures of image controls: the archive bytes decoded into a 32-bit
// premultiplied-alpha bitmap, whatever the format (JPEG, BMP and ICO
// through the imaging component, EMF and WMF played into a bitmap).
#pragma once

#include <windows.h>

#include <cstdint>
#include <span>

#include "formats/layout/layout_file.h"

namespace ferry {

class Picture {
 public:
  Picture() = default;
  ~Picture();
  Picture(const Picture&) = delete;
  Picture& operator=(const Picture&) = delete;

  // Decodes `bytes`; false (and an empty picture) when they do not decode.
  bool Load(ImageFormat format, std::span<const uint8_t> bytes);
  // Makes every pixel of the bottom-left pixel's colour transparent.
  void MakeTransparent();
  // The picture repeated over a w x h bitmap from 0,0, cut at the edges.
  void Tile(int w, int h);

  bool Empty() const { return !bitmap_ || width_ == 0 || height_ == 0; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  // Draws the picture scaled into the rectangle, blending its alpha.
  void Draw(HDC dc, int x, int y, int w, int h) const;
  // Pixel at x,y as 0x00RRGGBB (premultiplied), for tests.
  uint32_t Pixel(int x, int y) const;

 private:
  void Reset();
  bool Allocate(int w, int h);
  bool LoadWic(std::span<const uint8_t> bytes);
  bool LoadMetafile(std::span<const uint8_t> bytes);

  HBITMAP bitmap_ = nullptr;
  uint32_t* bits_ = nullptr;
  int width_ = 0;
  int height_ = 0;
};

}  // namespace ferry

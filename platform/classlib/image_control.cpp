#include "platform/classlib/image_control.h"

#include <cstring>
#include <memory>

#include "platform/base/text.h"
#include "platform/classlib/streams.h"
#include "platform/gdi/jpeg_reader.h"
#include "platform/gdi/window_picture.h"

TImage::TImage(TComponent* owner) : TGraphicControl(owner) {
  picture_.Bitmap().OnChange = [this](TObject*) { Invalidate(); };
}

void TImage::Paint() {
  if (!picture_.Bitmap().Empty()) Canvas().Draw(0, 0, picture_.Bitmap());
}

namespace {

std::string Extension(const std::string& fileName) {
  auto dot = fileName.find_last_of('.');
  auto slash = fileName.find_last_of("/\\");
  if (dot == std::string::npos || (slash != std::string::npos && slash > dot)) return {};
  return platform::WideToAnsi(platform::LowerCase(platform::AnsiToWide(fileName.substr(dot))));
}

// Copies a drawing-layer picture into a bitmap (both hold premultiplied 32-bit pixels).
void CopyInto(const platform::gdi::Bitmap& picture, TBitmap& bitmap) {
  bitmap.SetSize(picture.width(), picture.height());
  for (int y = 0; y < picture.height(); ++y) {
    std::memcpy(bitmap.ScanLine(y), picture.Row(y), static_cast<std::size_t>(picture.width()) * 4);
  }
  bitmap.SetPixelFormat(TPixelFormat::pf32bit);
}

}  // namespace

void TPicture::LoadFromFile(const std::string& fileName) {
  std::string extension = Extension(fileName);
  if (extension == ".bmp") {
    TFileStream stream(fileName, fmOpenRead | fmShareDenyWrite);
    TBitmap loaded;
    loaded.LoadFromStream(stream);
    bitmap_.Assign(&loaded);
    return;
  }
  std::shared_ptr<platform::gdi::Bitmap> picture;
  if (extension == ".jpg" || extension == ".jpeg") {
    TMemoryStream bytes;
    bytes.LoadFromFile(fileName);
    std::string error;
    picture = platform::gdi::ReadJpeg(bytes.Memory().data(), bytes.Memory().size(), &error);
    if (!picture) throw EInvalidGraphic("JPEG error: " + error);
  } else if (extension == ".png") {
    // A file that cannot be opened raises as for the other kinds.
    TFileStream probe(fileName, fmOpenRead | fmShareDenyWrite);
    picture = platform::gdi::ReadPng(fileName);
    if (!picture) throw EInvalidGraphic("Bitmap image is not valid");
  } else {
    throw EInvalidGraphic("Unknown picture file extension (" + extension + ")");
  }
  CopyInto(*picture, bitmap_);
}

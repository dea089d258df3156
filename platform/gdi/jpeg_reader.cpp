#include "platform/gdi/jpeg_reader.h"

// libjpeg's header needs the standard I/O types first.
#include <cstdio>

#include <jpeglib.h>

#include <csetjmp>
#include <vector>

namespace {

struct ErrorManager {
  jpeg_error_mgr base;
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
};

// libjpeg cannot return from its error exit; it jumps back to the decoder.
[[noreturn]] void OnError(j_common_ptr info) {
  auto* errors = reinterpret_cast<ErrorManager*>(info->err);
  info->err->format_message(info, errors->message);
  std::longjmp(errors->jump, 1);
}

// A warning (corrupt data, a file cut short) means a damaged file: refused as well.
void OnMessage(j_common_ptr info, int level) {
  if (level < 0) OnError(info);
}

struct Decoded {
  int width = 0;
  int height = 0;
  int components = 0;
  std::vector<std::uint8_t> samples;
};

// Only plain data lives in this frame across setjmp, so the jump back skips no
// destructor; `out` belongs to the caller.
bool Decode(const std::uint8_t* data, std::size_t size, Decoded& out, std::string& error) {
  jpeg_decompress_struct info{};
  ErrorManager errors{};
  info.err = jpeg_std_error(&errors.base);
  errors.base.error_exit = OnError;
  errors.base.emit_message = OnMessage;
  if (setjmp(errors.jump) != 0) {
    jpeg_destroy_decompress(&info);
    error = errors.message;
    return false;
  }
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, data, static_cast<unsigned long>(size));
  jpeg_read_header(&info, TRUE);
  bool cmyk = info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
  info.out_color_space = cmyk ? JCS_CMYK : info.num_components == 1 ? JCS_GRAYSCALE : JCS_RGB;
  if (static_cast<std::uint64_t>(info.image_width) * info.image_height > platform::gdi::kMaxJpegPixels) {
    jpeg_destroy_decompress(&info);
    error = "picture too large";
    return false;
  }
  jpeg_start_decompress(&info);
  out.width = static_cast<int>(info.output_width);
  out.height = static_cast<int>(info.output_height);
  out.components = info.output_components;
  std::size_t stride = static_cast<std::size_t>(out.width) * static_cast<std::size_t>(out.components);
  out.samples.resize(stride * static_cast<std::size_t>(out.height));
  while (info.output_scanline < info.output_height) {
    JSAMPROW row = out.samples.data() + stride * info.output_scanline;
    jpeg_read_scanlines(&info, &row, 1);
  }
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  return true;
}

}  // namespace

std::shared_ptr<platform::gdi::Bitmap> platform::gdi::ReadJpeg(const std::uint8_t* data, std::size_t size,
                                                               std::string* error) {
  Decoded decoded;
  std::string reason;
  if (data == nullptr || size == 0) reason = "no data";
  if (reason.empty() && !Decode(data, size, decoded, reason)) {
    if (reason.empty()) reason = "damaged picture";
  }
  std::shared_ptr<Bitmap> picture = reason.empty() ? NewBitmap(decoded.width, decoded.height) : nullptr;
  if (!picture) {
    if (error) *error = reason.empty() ? "out of memory" : reason;
    return nullptr;
  }
  for (int y = 0; y < decoded.height; ++y) {
    const std::uint8_t* from = decoded.samples.data() + static_cast<std::size_t>(y) * decoded.width * decoded.components;
    std::uint8_t* to = picture->Row(y);
    for (int x = 0; x < decoded.width; ++x, from += decoded.components, to += 4) {
      std::uint8_t r, g, b;
      if (decoded.components == 1) {
        r = g = b = from[0];
      } else if (decoded.components == 4) {
        // Adobe's CMYK files store the inks inverted: the value is what the ink leaves.
        r = static_cast<std::uint8_t>(from[0] * from[3] / 255);
        g = static_cast<std::uint8_t>(from[1] * from[3] / 255);
        b = static_cast<std::uint8_t>(from[2] * from[3] / 255);
      } else {
        r = from[0];
        g = from[1];
        b = from[2];
      }
      to[0] = b;
      to[1] = g;
      to[2] = r;
      to[3] = 255;
    }
  }
  picture->Surface();
  return picture;
}

// Picture bytes to frames: JPEG over libjpeg-turbo, GIF over giflib, BMP, icon and cursor over
// Qt's image readers, PCX in pcx.cpp. The bytes come from any web server, so every decoder
// treats them as hostile: a failure of any kind yields no frames, and the bounds of picture.h
// are checked before anything large is allocated.
#include "platform/picture.h"

#include <QBuffer>
#include <QByteArray>
#include <QImageReader>
#include <algorithm>
#include <csetjmp>
#include <cstdio>  // jpeglib.h needs FILE
#include <cstdlib>
#include <cstring>
#include <memory>

#include <gif_lib.h>
#include <jerror.h>
#include <jpeglib.h>

namespace {

unsigned byteAt(const std::string& bytes, size_t i) {
  return static_cast<unsigned char>(bytes[i]);
}
unsigned le16(const std::string& bytes, size_t i) {
  return byteAt(bytes, i) | byteAt(bytes, i + 1) << 8;
}
quint32 le32(const std::string& bytes, size_t i) {
  return quint32(le16(bytes, i)) | quint32(le16(bytes, i + 2)) << 16;
}

bool sizeAllowed(qint64 width, qint64 height) {
  return width > 0 && height > 0 && width <= kPictureMaxSide && height <= kPictureMaxSide &&
         width * height <= kPictureMaxPixels;
}

// --- JPEG -------------------------------------------------------------------------------------

struct JpegErrorManager {
  jpeg_error_mgr pub;
  std::jmp_buf jump;
};

// libjpeg's own error_exit ends the process; this one returns to the setjmp in runJpeg.
[[noreturn]] void jpegFail(j_common_ptr cinfo) {
  std::longjmp(reinterpret_cast<JpegErrorManager*>(cinfo->err)->jump, 1);
}

// On a premature end libjpeg pads the missing rest with grey and only warns; a cut-off download
// must not be shown as a half-grey cover, so that warning counts as an error. Other warnings
// (corrupt but complete data) are tolerated, as browsers do.
void jpegMessage(j_common_ptr cinfo, int level) {
  if (level < 0 && cinfo->err->msg_code == JWRN_JPEG_EOF) jpegFail(cinfo);
}

// libjpeg-turbo accepts any number of scans, and each one of a progressive image is a pass
// over all its coefficients: a few KB of repeated scan headers would keep it busy for minutes.
void jpegProgress(j_common_ptr cinfo) {
  if (cinfo->is_decompressor &&
      reinterpret_cast<j_decompress_ptr>(cinfo)->input_scan_number > kJpegMaxScans)
    jpegFail(cinfo);
}

struct JpegDecoder {
  jpeg_decompress_struct cinfo{};
  JpegErrorManager err{};
  jpeg_progress_mgr progress{};
  QImage image;
};

// Everything between setjmp and a longjmp lives in *d, so nothing is left half-destroyed.
bool runJpeg(JpegDecoder* d, const std::string& bytes) {
  j_decompress_ptr c = &d->cinfo;
  if (setjmp(d->err.jump)) return false;
  jpeg_create_decompress(c);
  d->progress.progress_monitor = jpegProgress;
  c->progress = &d->progress;
  // Coefficient buffers of a progressive picture at the pixel bound, with room to spare.
  c->mem->max_memory_to_use = static_cast<long>(10 * kPictureMaxPixels);
  jpeg_mem_src(c, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
  if (jpeg_read_header(c, TRUE) != JPEG_HEADER_OK) return false;
  if (!sizeAllowed(c->image_width, c->image_height)) return false;
  const bool cmyk = c->jpeg_color_space == JCS_CMYK || c->jpeg_color_space == JCS_YCCK;
  c->out_color_space = cmyk ? JCS_CMYK : JCS_EXT_RGBX;  // both four bytes a pixel
  jpeg_start_decompress(c);
  d->image = QImage(int(c->output_width), int(c->output_height), QImage::Format_RGBX8888);
  if (d->image.isNull()) return false;
  while (c->output_scanline < c->output_height) {
    JSAMPROW row = d->image.scanLine(int(c->output_scanline));
    if (jpeg_read_scanlines(c, &row, 1) != 1) return false;
  }
  jpeg_finish_decompress(c);
  if (cmyk) {
    // Adobe's inverted CMYK, the kind nearly every CMYK JPEG holds: 255 means no ink.
    for (int y = 0; y < d->image.height(); ++y) {
      uchar* p = d->image.scanLine(y);
      for (int x = 0; x < d->image.width(); ++x, p += 4) {
        const unsigned k = p[3];
        p[0] = uchar(p[0] * k / 255);
        p[1] = uchar(p[1] * k / 255);
        p[2] = uchar(p[2] * k / 255);
        p[3] = 255;
      }
    }
  }
  return true;
}

std::vector<PictureFrame> decodeJpeg(const std::string& bytes) {
  auto d = std::make_unique<JpegDecoder>();
  d->cinfo.err = jpeg_std_error(&d->err.pub);
  d->err.pub.error_exit = jpegFail;
  d->err.pub.emit_message = jpegMessage;
  const bool ok = runJpeg(d.get(), bytes);
  jpeg_destroy_decompress(&d->cinfo);
  if (!ok) return {};
  return {PictureFrame{d->image, 0}};
}

// --- GIF --------------------------------------------------------------------------------------

struct GifSource {
  const std::string& bytes;
  size_t pos = 0;
};

int gifRead(GifFileType* gif, GifByteType* out, int wanted) {
  auto* source = static_cast<GifSource*>(gif->UserData);
  const size_t n = std::min(size_t(std::max(wanted, 0)), source->bytes.size() - source->pos);
  std::memcpy(out, source->bytes.data() + source->pos, n);
  source->pos += n;
  return int(n);
}

struct GifCloser {
  void operator()(GifFileType* gif) const {
    int error = 0;
    DGifCloseFile(gif, &error);
  }
};

GraphicsControlBlock noControlBlock() {
  GraphicsControlBlock gcb{};
  gcb.DisposalMode = DISPOSAL_UNSPECIFIED;
  gcb.TransparentColor = NO_TRANSPARENT_COLOR;
  return gcb;
}

// Reads frame by frame with giflib's record calls instead of DGifSlurp: DGifSlurp allocates
// each frame's raster as its descriptor says (up to 65535 x 65535 bytes) before anything can
// check it, and keeps every raster until the end.
std::vector<PictureFrame> decodeGif(const std::string& bytes) {
  GifSource source{bytes};
  int error = 0;
  std::unique_ptr<GifFileType, GifCloser> gif(DGifOpen(&source, gifRead, &error));
  if (!gif) return {};
  GifFileType* g = gif.get();

  int screenWidth = g->SWidth;
  int screenHeight = g->SHeight;
  QImage canvas;  // made at the first frame; starts transparent, as browsers show it
  std::vector<PictureFrame> frames;
  std::vector<GifPixelType> raster;
  GraphicsControlBlock gcb = noControlBlock();
  qint64 pixelsSoFar = 0;

  for (;;) {
    GifRecordType type = UNDEFINED_RECORD_TYPE;
    if (DGifGetRecordType(g, &type) == GIF_ERROR) return {};
    if (type == TERMINATE_RECORD_TYPE) break;
    if (type == EXTENSION_RECORD_TYPE) {
      int code = 0;
      GifByteType* block = nullptr;
      if (DGifGetExtension(g, &code, &block) == GIF_ERROR) return {};
      if (code == GRAPHICS_EXT_FUNC_CODE && block && block[0] == 4)
        DGifExtensionToGCB(4, block + 1, &gcb);
      while (block)
        if (DGifGetExtensionNext(g, &block) == GIF_ERROR) return {};
      continue;
    }

    if (DGifGetImageDesc(g) == GIF_ERROR) return {};
    if (g->ImageCount > kAnimationMaxFrames) return {};
    const GifImageDesc& desc = g->Image;
    const int left = desc.Left, top = desc.Top, width = desc.Width, height = desc.Height;
    // Like DGifSlurp, an empty frame is an error (its data would also go unread).
    if (!sizeAllowed(width, height)) return {};
    const ColorMapObject* map = desc.ColorMap ? desc.ColorMap : g->SColorMap;
    if (!map) return {};

    if (canvas.isNull()) {
      // A screen of 0 x 0 occurs in the wild; the first frame then sets the size.
      if (screenWidth == 0 || screenHeight == 0) {
        screenWidth = left + width;
        screenHeight = top + height;
      }
      if (!sizeAllowed(screenWidth, screenHeight)) return {};
      canvas = QImage(screenWidth, screenHeight, QImage::Format_ARGB32);
      if (canvas.isNull()) return {};
      canvas.fill(Qt::transparent);
    }
    pixelsSoFar += qint64(screenWidth) * screenHeight;
    if (pixelsSoFar > kAnimationMaxPixels) return {};

    raster.resize(size_t(width) * size_t(height));
    if (desc.Interlace) {
      static const int kStart[] = {0, 4, 2, 1}, kStep[] = {8, 8, 4, 2};
      for (int pass = 0; pass < 4; ++pass)
        for (int y = kStart[pass]; y < height; y += kStep[pass])
          if (DGifGetLine(g, raster.data() + size_t(y) * size_t(width), width) == GIF_ERROR)
            return {};
    } else if (DGifGetLine(g, raster.data(), width * height) == GIF_ERROR) {
      return {};
    }

    const QImage previous = canvas;  // shared until the drawing below detaches canvas
    // Only the part of the frame that lies on the screen is drawn.
    const int x0 = std::max(left, 0), x1 = std::min(left + width, screenWidth);
    const int y0 = std::max(top, 0), y1 = std::min(top + height, screenHeight);
    for (int y = y0; y < y1; ++y) {
      auto* out = reinterpret_cast<QRgb*>(canvas.scanLine(y));
      const GifPixelType* in = raster.data() + size_t(y - top) * size_t(width);
      for (int x = x0; x < x1; ++x) {
        const int index = in[x - left];
        // Indices beyond the colour map show nothing, as in browsers.
        if (index == gcb.TransparentColor || index >= map->ColorCount) continue;
        const GifColorType& c = map->Colors[index];
        out[x] = qRgb(c.Red, c.Green, c.Blue);
      }
    }
    // Browsers stretch the shortest delays (0 and 1 centiseconds) to 100 ms.
    const int delayMs = gcb.DelayTime <= 1 ? 100 : gcb.DelayTime * 10;
    frames.push_back(PictureFrame{canvas, delayMs});

    if (gcb.DisposalMode == DISPOSE_BACKGROUND) {
      // "Background" is transparent in every browser, whatever colour the screen names.
      for (int y = y0; y < y1; ++y)
        std::fill_n(reinterpret_cast<QRgb*>(canvas.scanLine(y)) + x0, x1 - x0, QRgb(0));
    } else if (gcb.DisposalMode == DISPOSE_PREVIOUS) {
      canvas = previous;
    }
    gcb = noControlBlock();  // a control block governs the one image after it
  }

  if (frames.size() == 1) frames.front().delayMs = 0;  // a still picture
  return frames;
}

// --- BMP, icon and cursor over Qt ---------------------------------------------------------------

// Qt's BMP reader keeps the rows it got from a short file and reports success; a cut-off
// download must not show as a partial picture, so the pixel data the header promises has to
// be there. Its size also bounds what Qt will allocate.
bool bmpComplete(const std::string& bytes) {
  if (bytes.size() < 18) return false;
  const quint32 dataOffset = le32(bytes, 10);
  const quint32 headerSize = le32(bytes, 14);
  qint64 width = 0, height = 0, bitCount = 0;
  quint32 compression = 0, imageSize = 0;
  if (headerSize == 12) {  // OS/2 core header
    if (bytes.size() < 26) return false;
    width = le16(bytes, 18);
    height = le16(bytes, 20);
    bitCount = le16(bytes, 24);
  } else if (headerSize >= 40) {
    if (bytes.size() < 54) return false;
    width = qint32(le32(bytes, 18));
    height = qint32(le32(bytes, 22));  // negative: rows stored top down
    bitCount = le16(bytes, 28);
    compression = le32(bytes, 30);
    imageSize = le32(bytes, 34);
  } else {
    return false;
  }
  if (!sizeAllowed(width, std::abs(height))) return false;
  qint64 pixelBytes = 0;
  if (compression == 1 || compression == 2) {  // RLE8, RLE4: only the header knows the size
    if (imageSize == 0) return false;
    pixelBytes = imageSize;
  } else {
    pixelBytes = (width * bitCount + 31) / 32 * 4 * std::abs(height);
  }
  return qint64(dataOffset) + pixelBytes <= qint64(bytes.size());
}

// An icon or cursor file: a directory of images, each at an offset with a size. A directory
// that points past the end means a cut-off file.
bool iconComplete(const std::string& bytes) {
  const unsigned count = le16(bytes, 4);
  if (bytes.size() < 6 + 16 * size_t(count)) return false;
  for (unsigned i = 0; i < count; ++i) {
    const size_t entry = 6 + 16 * size_t(i);
    const quint64 size = le32(bytes, entry + 8), offset = le32(bytes, entry + 12);
    if (offset + size > bytes.size()) return false;
  }
  return true;
}

std::vector<PictureFrame> decodeWithQt(const std::string& bytes, const char* format) {
  // Qt's own allocation bound for one picture, in MB (a process-wide setting of the readers).
  QImageReader::setAllocationLimit(int(kPictureMaxPixels * 4 >> 20));
  QByteArray data = QByteArray::fromRawData(bytes.data(), qsizetype(bytes.size()));
  QBuffer buffer(&data);
  if (!buffer.open(QIODevice::ReadOnly)) return {};
  QImageReader reader(&buffer, format);
  reader.setAutoDetectImageFormat(false);  // the first bytes chose the format; no second guess
  const QSize size = reader.size();
  if (size.isValid() && !sizeAllowed(size.width(), size.height())) return {};
  QImage image;
  if (!reader.read(&image) || !sizeAllowed(image.width(), image.height())) return {};
  return {PictureFrame{image, 0}};
}

}  // namespace

PictureFormat recognisePicture(const std::string& bytes) {
  if (bytes.size() < 6) return PictureFormat::None;
  const auto b = [&](size_t i) { return byteAt(bytes, i); };
  if (b(0) == 0xFF && b(1) == 0xD8) return PictureFormat::Jpeg;
  if (b(0) == 'B' && b(1) == 'M') return PictureFormat::Bmp;
  if (b(0) == 0 && b(1) == 0 && b(3) == 0 && le16(bytes, 4) > 0) {
    if (b(2) == 1) return PictureFormat::Icon;
    if (b(2) == 2) return PictureFormat::Cursor;
  }
  if (bytes.compare(0, 6, "GIF87a") == 0 || bytes.compare(0, 6, "GIF89a") == 0)
    return PictureFormat::Gif;
  if (b(0) == 0x0A && b(2) == 0x01) {
    if (b(1) <= 5 && b(3) == 8) return PictureFormat::Pcx8;
    if (b(1) == 3 && b(3) == 1) return PictureFormat::Pcx1;
  }
  return PictureFormat::None;
}

std::vector<PictureFrame> decodePicture(const std::string& bytes) {
  switch (recognisePicture(bytes)) {
    case PictureFormat::Jpeg:
      return decodeJpeg(bytes);
    case PictureFormat::Bmp:
      return bmpComplete(bytes) ? decodeWithQt(bytes, "bmp") : std::vector<PictureFrame>{};
    case PictureFormat::Icon:
      return iconComplete(bytes) ? decodeWithQt(bytes, "ico") : std::vector<PictureFrame>{};
    case PictureFormat::Cursor:
      return iconComplete(bytes) ? decodeWithQt(bytes, "cur") : std::vector<PictureFrame>{};
    case PictureFormat::Gif:
      return decodeGif(bytes);
    case PictureFormat::Pcx8:
    case PictureFormat::Pcx1:
      return decodePcx(bytes);
    case PictureFormat::None:
      break;
  }
  return {};
}

#include "fuzz/picture_samples.h"

#include <QBuffer>
#include <QImageWriter>
#include <algorithm>
#include <cstdio>  // jpeglib.h needs FILE
#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <utility>

#include <gif_lib.h>
#include <jpeglib.h>

QImage quadrantPicture() {
  QImage image(16, 16, QImage::Format_RGB32);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) image.setPixel(x, y, kQuadrantColours[(y / 8) * 2 + x / 8]);
  return image;
}

std::string writeJpeg(const QImage& source, JpegKind kind) {
  const QImage image = source.convertToFormat(QImage::Format_RGB32);
  jpeg_compress_struct cinfo{};
  jpeg_error_mgr err{};
  cinfo.err = jpeg_std_error(&err);
  jpeg_create_compress(&cinfo);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&cinfo, &buffer, &size);
  cinfo.image_width = JDIMENSION(image.width());
  cinfo.image_height = JDIMENSION(image.height());
  switch (kind) {
    case JpegKind::Grey:
      cinfo.input_components = 1;
      cinfo.in_color_space = JCS_GRAYSCALE;
      break;
    case JpegKind::AdobeCmyk:
      cinfo.input_components = 4;
      cinfo.in_color_space = JCS_CMYK;
      break;
    default:
      cinfo.input_components = 3;
      cinfo.in_color_space = JCS_RGB;
  }
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, 95, TRUE);
  // No chroma subsampling, so solid blocks keep their colours.
  for (int i = 0; i < cinfo.num_components; ++i)
    cinfo.comp_info[i].h_samp_factor = cinfo.comp_info[i].v_samp_factor = 1;
  if (kind == JpegKind::Progressive) jpeg_simple_progression(&cinfo);
  jpeg_start_compress(&cinfo, TRUE);
  std::vector<JSAMPLE> row(size_t(image.width()) * size_t(cinfo.input_components));
  while (cinfo.next_scanline < cinfo.image_height) {
    const auto* in = reinterpret_cast<const QRgb*>(image.scanLine(int(cinfo.next_scanline)));
    JSAMPLE* out = row.data();
    for (int x = 0; x < image.width(); ++x) {
      const int r = qRed(in[x]), g = qGreen(in[x]), b = qBlue(in[x]);
      if (kind == JpegKind::Grey) {
        *out++ = JSAMPLE(qGray(in[x]));
      } else if (kind == JpegKind::AdobeCmyk) {
        // Inverted, as Adobe writes it: stored value = 255 - ink, so that value * K / 255 is
        // the colour again.
        const int k = std::max({r, g, b});
        *out++ = JSAMPLE(k ? r * 255 / k : 0);
        *out++ = JSAMPLE(k ? g * 255 / k : 0);
        *out++ = JSAMPLE(k ? b * 255 / k : 0);
        *out++ = JSAMPLE(k);
      } else {
        *out++ = JSAMPLE(r);
        *out++ = JSAMPLE(g);
        *out++ = JSAMPLE(b);
      }
    }
    JSAMPROW rows[] = {row.data()};
    jpeg_write_scanlines(&cinfo, rows, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  std::string bytes(reinterpret_cast<const char*>(buffer), size);
  std::free(buffer);
  return bytes;
}

namespace {

std::string writeWithQt(const QImage& image, const char* format) {
  QByteArray data;
  QBuffer buffer(&data);
  buffer.open(QIODevice::WriteOnly);
  QImageWriter writer(&buffer, format);
  if (!writer.write(image)) throw std::runtime_error("Qt cannot write " + std::string(format));
  return data.toStdString();
}

struct MapDeleter {
  void operator()(ColorMapObject* map) const { GifFreeMapObject(map); }
};
using ColourMap = std::unique_ptr<ColorMapObject, MapDeleter>;

// giflib wants colour maps of 2, 4, ... 256 entries; missing entries are black.
ColourMap makeColourMap(const std::vector<QRgb>& colours) {
  if (colours.empty()) return nullptr;
  int count = 2;
  while (count < int(colours.size())) count *= 2;
  ColourMap map(GifMakeMapObject(count, nullptr));
  for (int i = 0; i < count; ++i) {
    const QRgb c = i < int(colours.size()) ? colours[size_t(i)] : 0;
    map->Colors[i] =
        GifColorType{GifByteType(qRed(c)), GifByteType(qGreen(c)), GifByteType(qBlue(c))};
  }
  return map;
}

int appendToString(GifFileType* gif, const GifByteType* data, int n) {
  static_cast<std::string*>(gif->UserData)->append(reinterpret_cast<const char*>(data), size_t(n));
  return n;
}

void check(int result, const char* what) {
  if (result == GIF_ERROR) throw std::runtime_error(std::string("giflib: ") + what);
}

void putLe16(std::string& out, int value) {
  out += char(value & 0xFF);
  out += char((value >> 8) & 0xFF);
}

}  // namespace

std::string writeBmp(const QImage& image) {
  return writeWithQt(image, "bmp");
}
std::string writeIcon(const QImage& image) {
  std::string bytes = writeWithQt(image, "ico");
  // Qt leaves the padding at the end of each transparency-mask row uninitialised; zero it so
  // the same picture always gives the same bytes. One image: bitmap header at the entry's
  // offset, then the colour rows, then the mask rows.
  const auto le = [&](size_t at, int n) {
    unsigned value = 0;
    for (int i = n - 1; i >= 0; --i) value = value << 8 | (unsigned char)bytes[at + size_t(i)];
    return value;
  };
  const size_t header = le(18, 4);
  const unsigned width = le(header + 4, 4), height = le(header + 8, 4) / 2;
  const unsigned bitCount = le(header + 14, 2);
  const size_t maskStride = (width + 31) / 32 * 4;
  const size_t mask = header + le(header, 4) + (width * bitCount + 31) / 32 * 4 * height;
  for (size_t row = 0; row < height; ++row)
    for (size_t bit = width; bit < maskStride * 8; ++bit)
      bytes[mask + row * maskStride + bit / 8] &= char(~(0x80 >> (bit % 8)));
  return bytes;
}

std::string writeCursor(const QImage& image, int hotspotX, int hotspotY) {
  std::string bytes = writeIcon(image);
  bytes[2] = 2;
  bytes[6 + 4] = char(hotspotX & 0xFF);
  bytes[6 + 5] = char(hotspotX >> 8);
  bytes[6 + 6] = char(hotspotY & 0xFF);
  bytes[6 + 7] = char(hotspotY >> 8);
  return bytes;
}

GifFrame solidGifFrame(int left, int top, int width, int height, unsigned char index) {
  GifFrame frame;
  frame.left = left;
  frame.top = top;
  frame.width = width;
  frame.height = height;
  frame.pixels.assign(size_t(width) * size_t(height), index);
  return frame;
}

std::string writeGif(const GifPicture& picture) {
  std::string out;
  int error = 0;
  GifFileType* gif = EGifOpen(&out, appendToString, &error);
  if (!gif) throw std::runtime_error("giflib: EGifOpen");
  EGifSetGifVersion(gif, true);
  const ColourMap global = makeColourMap(picture.colours);
  check(EGifPutScreenDesc(gif, picture.width, picture.height, 8, 0, global.get()), "screen");
  for (const GifFrame& frame : picture.frames) {
    if (frame.controlBlock) {
      GraphicsControlBlock gcb{};
      gcb.DisposalMode = frame.disposal;
      gcb.DelayTime = frame.delayCs;
      gcb.TransparentColor = frame.transparent;
      GifByteType extension[4];
      const size_t n = EGifGCBToExtension(&gcb, extension);
      check(EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, int(n), extension), "control block");
    }
    const ColourMap local = makeColourMap(frame.localColours);
    check(EGifPutImageDesc(gif, frame.left, frame.top, frame.width, frame.height, frame.interlaced,
                           local.get()),
          "image");
    std::vector<int> order;
    if (frame.interlaced) {
      for (auto [start, step] : {std::pair{0, 8}, {4, 8}, {2, 4}, {1, 2}})
        for (int y = start; y < frame.height; y += step) order.push_back(y);
    } else {
      for (int y = 0; y < frame.height; ++y) order.push_back(y);
    }
    for (int y : order) {
      std::vector<GifPixelType> row(frame.pixels.begin() + y * frame.width,
                                    frame.pixels.begin() + (y + 1) * frame.width);
      check(EGifPutLine(gif, row.data(), frame.width), "line");
    }
  }
  check(EGifCloseFile(gif, &error), "close");
  return out;
}

std::string writePcx(const PcxPicture& picture) {
  const int planes = picture.planes >= 0 ? picture.planes : 1;
  const int minBytes = (picture.width * picture.bitsPerPixel + 7) / 8;
  const int bytesPerLine =
      picture.bytesPerLine >= 0 ? picture.bytesPerLine : (minBytes + 1) / 2 * 2;
  std::string out(128, '\0');
  out[0] = 0x0A;
  out[1] = char(picture.version);
  out[2] = 1;
  out[3] = char(picture.bitsPerPixel);
  std::string window;
  putLe16(window, 0);
  putLe16(window, 0);
  putLe16(window, picture.xMax >= 0 ? picture.xMax : picture.width - 1);
  putLe16(window, picture.yMax >= 0 ? picture.yMax : picture.height - 1);
  putLe16(window, 72);
  putLe16(window, 72);
  out.replace(4, window.size(), window);
  for (int i = 0; i < 2; ++i) {
    out[size_t(16 + 3 * i)] = char(qRed(picture.headerColours[i]));
    out[size_t(17 + 3 * i)] = char(qGreen(picture.headerColours[i]));
    out[size_t(18 + 3 * i)] = char(qBlue(picture.headerColours[i]));
  }
  out[65] = char(planes);
  out[66] = char(bytesPerLine & 0xFF);
  out[67] = char(bytesPerLine >> 8);
  out[68] = 1;  // colour palette

  // Rows of bytesPerLine bytes (padding zero), then the run-length code.
  std::vector<unsigned char> raw;
  for (int y = 0; y < picture.height; ++y) {
    std::vector<unsigned char> line(size_t(std::max(bytesPerLine, minBytes)), 0);
    for (int x = 0; x < picture.width; ++x) {
      const unsigned char v = picture.pixels[size_t(y * picture.width + x)];
      if (picture.bitsPerPixel == 8)
        line[size_t(x)] = v;
      else if (v)
        line[size_t(x / 8)] |= 0x80 >> (x % 8);
    }
    line.resize(size_t(bytesPerLine));
    raw.insert(raw.end(), line.begin(), line.end());
  }
  const auto encode = [&](size_t begin, size_t end) {
    for (size_t i = begin; i < end;) {
      size_t run = 1;
      while (i + run < end && run < 63 && raw[i + run] == raw[i]) ++run;
      if (run > 1 || raw[i] >= 0xC0) out += char(0xC0 | run);
      out += char(raw[i]);
      i += run;
    }
  };
  if (picture.runsAcrossRows)
    encode(0, raw.size());
  else
    for (size_t row = 0; row < raw.size(); row += size_t(bytesPerLine))
      encode(row, row + size_t(bytesPerLine));

  if (picture.bitsPerPixel == 8) {
    out += char(0x0C);
    for (int i = 0; i < 256; ++i) {
      const QRgb c = i < int(picture.palette.size()) ? picture.palette[size_t(i)] : 0;
      out += char(qRed(c));
      out += char(qGreen(c));
      out += char(qBlue(c));
    }
  }
  return out;
}

std::vector<PictureSample> pictureSamples() {
  std::vector<PictureSample> samples;
  QImage small = quadrantPicture().scaled(8, 8);
  samples.push_back({"baseline.jpg", writeJpeg(small)});
  samples.push_back({"progressive.jpg", writeJpeg(small, JpegKind::Progressive)});
  samples.push_back({"grey.jpg", writeJpeg(small, JpegKind::Grey)});
  samples.push_back({"cmyk.jpg", writeJpeg(small, JpegKind::AdobeCmyk)});
  samples.push_back({"quadrants.bmp", writeBmp(small)});
  samples.push_back({"quadrants.ico", writeIcon(small)});
  samples.push_back({"quadrants.cur", writeCursor(small, 3, 5)});

  GifPicture gif;
  gif.width = 6;
  gif.height = 6;
  gif.colours = {qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255), qRgb(255, 255, 255)};
  gif.frames.push_back(solidGifFrame(0, 0, 6, 6, 0));
  gif.frames.back().delayCs = 20;
  gif.frames.push_back(solidGifFrame(1, 1, 3, 3, 1));
  gif.frames.back().disposal = 3;
  gif.frames.back().transparent = 3;
  gif.frames.back().pixels[4] = 3;
  gif.frames.push_back(solidGifFrame(2, 0, 2, 9, 2));
  gif.frames.back().interlaced = true;
  gif.frames.back().disposal = 2;
  gif.frames.back().localColours = {qRgb(1, 2, 3), qRgb(4, 5, 6), qRgb(7, 8, 9)};
  samples.push_back({"animation.gif", writeGif(gif)});

  PcxPicture pcx8;
  pcx8.width = 9;
  pcx8.height = 4;
  for (int i = 0; i < 36; ++i) pcx8.pixels.push_back(i < 18 ? 0 : i < 27 ? 200 : 255);
  pcx8.palette.assign(256, qRgb(10, 20, 30));
  pcx8.palette[0] = qRgb(255, 0, 0);
  samples.push_back({"indexed.pcx", writePcx(pcx8)});

  PcxPicture pcx1;
  pcx1.version = 3;
  pcx1.bitsPerPixel = 1;
  pcx1.width = 13;
  pcx1.height = 3;
  for (int i = 0; i < 39; ++i) pcx1.pixels.push_back(i % 13 > 6);
  samples.push_back({"mono.pcx", writePcx(pcx1)});
  return samples;
}

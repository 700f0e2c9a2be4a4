// PCX pictures, which no Debian-packaged library reads: 8 bits a pixel with the 256-colour
// palette at the end of the file, and 1 bit a pixel (monochrome). The header is 128 bytes;
// the pixel rows follow run-length coded.
#include <QImage>
#include <algorithm>
#include <cstring>

#include "platform/picture.h"

namespace {

constexpr size_t kHeaderSize = 128;
constexpr size_t kPaletteSize = 1 + 768;  // the marker 0x0C, then 256 RGB triples
constexpr unsigned char kPaletteMarker = 0x0C;

unsigned le16(const unsigned char* p) {
  return p[0] | p[1] << 8;
}

// The run-length code: a byte with its top two bits set repeats the next byte (its low six
// bits) times; any other byte stands for itself. Runs may cross rows, as many writers let them.
class RleReader {
 public:
  RleReader(const unsigned char* data, size_t size) : data_(data), size_(size) {}

  // Fills out with the next n decoded bytes; false when the data ends first (cut-off file).
  bool read(unsigned char* out, size_t n) {
    while (n > 0) {
      if (runLeft_ == 0) {
        if (pos_ >= size_) return false;
        const unsigned char c = data_[pos_++];
        if ((c & 0xC0) == 0xC0) {
          if (pos_ >= size_) return false;
          runLeft_ = c & 0x3F;
          runValue_ = data_[pos_++];
        } else {
          runLeft_ = 1;
          runValue_ = c;
        }
      }
      const size_t k = std::min(n, runLeft_);
      std::memset(out, runValue_, k);
      out += k;
      n -= k;
      runLeft_ -= k;
    }
    return true;
  }

 private:
  const unsigned char* data_;
  size_t size_;
  size_t pos_ = 0;
  size_t runLeft_ = 0;
  unsigned char runValue_ = 0;
};

}  // namespace

std::vector<PictureFrame> decodePcx(const std::string& bytes) {
  if (bytes.size() < kHeaderSize) return {};
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  if (p[0] != 0x0A || p[2] != 1) return {};
  const unsigned bitsPerPixel = p[3], planes = p[65];
  const unsigned xMin = le16(p + 4), yMin = le16(p + 6), xMax = le16(p + 8), yMax = le16(p + 10);
  const size_t bytesPerLine = le16(p + 66);  // per plane, padded
  if (xMax < xMin || yMax < yMin) return {};
  const int width = int(xMax - xMin + 1), height = int(yMax - yMin + 1);
  if (width > kPictureMaxSide || height > kPictureMaxSide ||
      qint64(width) * height > kPictureMaxPixels)
    return {};
  if (planes != 1 || (bitsPerPixel != 8 && bitsPerPixel != 1)) return {};
  if (bytesPerLine < (size_t(width) * bitsPerPixel + 7) / 8) return {};

  QRgb palette[256];
  size_t dataEnd = bytes.size();
  if (bitsPerPixel == 8) {
    if (bytes.size() < kHeaderSize + kPaletteSize) return {};
    dataEnd = bytes.size() - kPaletteSize;
    if (p[dataEnd] != kPaletteMarker) return {};  // a cut-off file has lost its palette
    const unsigned char* rgb = p + dataEnd + 1;
    for (int i = 0; i < 256; ++i, rgb += 3) palette[i] = qRgb(rgb[0], rgb[1], rgb[2]);
  } else {
    // The first two colours of the header palette; files that leave it blank (both entries
    // alike) mean plain black and white.
    palette[0] = qRgb(p[16], p[17], p[18]);
    palette[1] = qRgb(p[19], p[20], p[21]);
    if (palette[0] == palette[1]) {
      palette[0] = qRgb(0, 0, 0);
      palette[1] = qRgb(255, 255, 255);
    }
  }

  // Two coded bytes yield at most 63 pixel bytes: data too short for all rows is refused
  // before the picture is allocated.
  const size_t dataSize = dataEnd - kHeaderSize;
  if (qint64(bytesPerLine) * height * 2 > qint64(dataSize) * 63) return {};

  QImage image(width, height, QImage::Format_RGB32);
  if (image.isNull()) return {};
  std::vector<unsigned char> line(bytesPerLine);
  RleReader rle(p + kHeaderSize, dataSize);
  for (int y = 0; y < height; ++y) {
    if (!rle.read(line.data(), line.size())) return {};
    auto* out = reinterpret_cast<QRgb*>(image.scanLine(y));
    if (bitsPerPixel == 8) {
      for (int x = 0; x < width; ++x) out[x] = palette[line[size_t(x)]];
    } else {
      for (int x = 0; x < width; ++x) out[x] = palette[(line[size_t(x) / 8] >> (7 - x % 8)) & 1];
    }
  }
  return {PictureFrame{image, 0}};
}

#pragma once
// Small pictures in every format decodePicture reads, written by our own encoders (libjpeg-turbo,
// giflib, Qt's writers, a PCX writer): the fixtures of picture_test and the fuzzer's seeds.
#include <QImage>
#include <string>
#include <vector>

// 16 x 16 in four 8 x 8 quadrants (aligned with JPEG blocks): red, green / blue, white.
QImage quadrantPicture();
inline const QRgb kQuadrantColours[4] = {qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255),
                                         qRgb(255, 255, 255)};

enum class JpegKind { Baseline, Progressive, Grey, AdobeCmyk };
std::string writeJpeg(const QImage& image, JpegKind kind = JpegKind::Baseline);

std::string writeBmp(const QImage& image);
std::string writeIcon(const QImage& image);
// An icon file turned into a cursor: type 2, and the hotspot where an icon keeps planes and
// bit count.
std::string writeCursor(const QImage& image, int hotspotX, int hotspotY);

struct GifFrame {
  int left = 0, top = 0, width = 0, height = 0;
  std::vector<unsigned char> pixels;  // colour indices, row by row
  int delayCs = 0;
  int disposal = 0;  // 0 unspecified, 1 keep, 2 background, 3 previous
  int transparent = -1;
  bool interlaced = false;
  bool controlBlock = true;  // write a graphics control extension before the image
  std::vector<QRgb> localColours;
};
struct GifPicture {
  int width = 0, height = 0;
  std::vector<QRgb> colours;  // the global colour map; empty for none
  std::vector<GifFrame> frames;
};
std::string writeGif(const GifPicture& picture);
// A frame filling (left, top, width, height) with one colour index.
GifFrame solidGifFrame(int left, int top, int width, int height, unsigned char index);

struct PcxPicture {
  int version = 5;
  int bitsPerPixel = 8;  // 8: indices into palette; 1: 0 or 1
  int width = 0, height = 0;
  std::vector<unsigned char> pixels;  // one value a pixel, row by row
  std::vector<QRgb> palette;          // 8 bits: up to 256 colours at the end of the file
  QRgb headerColours[2] = {0, 0};     // 1 bit: the first two entries of the header palette
  bool runsAcrossRows = false;        // code all rows as one stream, as some writers do
  // Header fields as written, for malformed headers; -1: the value that fits.
  int xMax = -1, yMax = -1, bytesPerLine = -1, planes = -1;
};
std::string writePcx(const PcxPicture& picture);

// One sample of each kind, named for the seed files.
struct PictureSample {
  std::string name;
  std::string bytes;
};
std::vector<PictureSample> pictureSamples();

#include "platform/picture.h"

#include <gtest/gtest.h>

#include <QImage>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "fuzz/picture_samples.h"

namespace {

const QRgb kRed = kQuadrantColours[0], kGreen = kQuadrantColours[1], kBlue = kQuadrantColours[2],
           kWhite = kQuadrantColours[3];
const QRgb kClear = qRgba(0, 0, 0, 0);

std::string bytesOf(std::initializer_list<int> values) {
  std::string s;
  for (int v : values) s += char(v);
  return s;
}

void putLe16(std::string& bytes, size_t at, int value) {
  bytes[at] = char(value & 0xFF);
  bytes[at + 1] = char((value >> 8) & 0xFF);
}

// Colours compared channel by channel; lossy formats get a tolerance. Fully transparent
// pixels compare equal whatever their colour channels hold.
testing::AssertionResult colourNear(const QImage& image, int x, int y, QRgb expected,
                                    int tolerance) {
  const QRgb actual = image.pixel(x, y);
  const bool bothClear = qAlpha(actual) == 0 && qAlpha(expected) == 0;
  if (bothClear || (std::abs(qRed(actual) - qRed(expected)) <= tolerance &&
                    std::abs(qGreen(actual) - qGreen(expected)) <= tolerance &&
                    std::abs(qBlue(actual) - qBlue(expected)) <= tolerance &&
                    qAlpha(actual) == qAlpha(expected)))
    return testing::AssertionSuccess();
  return testing::AssertionFailure() << "pixel (" << x << "," << y << ") is " << std::hex << actual
                                     << ", expected " << expected;
}

// --- Recognition ------------------------------------------------------------------------------

TEST(RecognisePicture, ByTheFirstSixBytes) {
  struct Case {
    const char* name;
    std::string bytes;
    PictureFormat format;
  };
  const Case cases[] = {
      {"JPEG", bytesOf({0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10}), PictureFormat::Jpeg},
      {"JPEG, any bytes after FF D8", bytesOf({0xFF, 0xD8, 0, 0, 0, 0}), PictureFormat::Jpeg},
      {"FF D9 is no JPEG", bytesOf({0xFF, 0xD9, 0xFF, 0xE0, 0, 0}), PictureFormat::None},
      {"BMP", bytesOf({'B', 'M', 0x36, 0x03, 0, 0}), PictureFormat::Bmp},
      {"lower-case bm", bytesOf({'b', 'm', 0x36, 0x03, 0, 0}), PictureFormat::None},
      {"icon, one image", bytesOf({0, 0, 1, 0, 1, 0}), PictureFormat::Icon},
      {"icon, count in the high byte", bytesOf({0, 0, 1, 0, 0, 1}), PictureFormat::Icon},
      {"icon with no images", bytesOf({0, 0, 1, 0, 0, 0}), PictureFormat::None},
      {"cursor", bytesOf({0, 0, 2, 0, 3, 0}), PictureFormat::Cursor},
      {"cursor with no images", bytesOf({0, 0, 2, 0, 0, 0}), PictureFormat::None},
      {"resource type 3", bytesOf({0, 0, 3, 0, 1, 0}), PictureFormat::None},
      {"reserved word not zero", bytesOf({0, 1, 1, 0, 1, 0}), PictureFormat::None},
      {"type word high byte set", bytesOf({0, 0, 1, 1, 1, 0}), PictureFormat::None},
      {"GIF87a", "GIF87a", PictureFormat::Gif},
      {"GIF89a", "GIF89a\x01\0", PictureFormat::Gif},
      {"GIF88a", "GIF88a", PictureFormat::None},
      {"lower-case gif89a", "gif89a", PictureFormat::None},
      {"PCX 8 bits, version 5", bytesOf({0x0A, 5, 1, 8, 0, 0}), PictureFormat::Pcx8},
      {"PCX 8 bits, version 0", bytesOf({0x0A, 0, 1, 8, 0, 0}), PictureFormat::Pcx8},
      {"PCX 8 bits, version 3", bytesOf({0x0A, 3, 1, 8, 0, 0}), PictureFormat::Pcx8},
      {"PCX 8 bits, version 6", bytesOf({0x0A, 6, 1, 8, 0, 0}), PictureFormat::None},
      {"PCX 8 bits, not RLE", bytesOf({0x0A, 5, 0, 8, 0, 0}), PictureFormat::None},
      {"PCX 4 bits", bytesOf({0x0A, 5, 1, 4, 0, 0}), PictureFormat::None},
      {"PCX 1 bit, version 3", bytesOf({0x0A, 3, 1, 1, 0, 0}), PictureFormat::Pcx1},
      {"PCX 1 bit, version 5", bytesOf({0x0A, 5, 1, 1, 0, 0}), PictureFormat::None},
      {"PCX 1 bit, version 2", bytesOf({0x0A, 2, 1, 1, 0, 0}), PictureFormat::None},
      {"HTML error page", "<html><body>404 Not Found</body></html>", PictureFormat::None},
      {"PNG", "\x89PNG\r\n\x1a\n", PictureFormat::None},
      {"nothing", "", PictureFormat::None},
      {"JPEG in five bytes", bytesOf({0xFF, 0xD8, 0xFF, 0xE0, 0}), PictureFormat::None},
      {"BMP in two bytes", "BM", PictureFormat::None},
      {"icon in five bytes", bytesOf({0, 0, 1, 0, 1}), PictureFormat::None},
      {"GIF89 without the a", "GIF89", PictureFormat::None},
      {"PCX in four bytes", bytesOf({0x0A, 5, 1, 8}), PictureFormat::None},
  };
  for (const Case& c : cases) EXPECT_EQ(recognisePicture(c.bytes), c.format) << c.name;
}

// --- Still pictures of every format -----------------------------------------------------------

struct Probe {
  int x, y;
  QRgb colour;
};
struct Sample {
  std::string name;
  std::string bytes;
  QSize size;
  std::vector<Probe> probes;
  int tolerance;
};

const std::vector<Probe> kQuadrantProbes = {{3, 3, kRed},     {12, 4, kGreen}, {4, 12, kBlue},
                                            {12, 12, kWhite}, {7, 8, kBlue},   {8, 7, kGreen}};

GifPicture quadrantGif() {
  GifPicture gif;
  gif.width = gif.height = 16;
  gif.colours = {kRed, kGreen, kBlue, kWhite};
  GifFrame frame = solidGifFrame(0, 0, 16, 16, 0);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) frame.pixels[size_t(y * 16 + x)] = (y / 8) * 2 + x / 8;
  frame.delayCs = 50;  // a still picture all the same
  gif.frames = {frame};
  return gif;
}

// Palette indices 0, 1, 200 and 255: the two high ones must be coded as runs of one.
PcxPicture quadrantPcx() {
  const unsigned char indices[4] = {0, 1, 200, 255};
  PcxPicture pcx;
  pcx.width = pcx.height = 16;
  pcx.palette.assign(256, qRgb(9, 9, 9));
  for (int i = 0; i < 4; ++i) pcx.palette[indices[i]] = kQuadrantColours[i];
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) pcx.pixels.push_back(indices[(y / 8) * 2 + x / 8]);
  return pcx;
}

// 13 x 3, an odd width that leaves padding bits in each row: columns 0-6 are 0, 7-12 are 1.
PcxPicture monoPcx(QRgb colour0, QRgb colour1) {
  PcxPicture pcx;
  pcx.version = 3;
  pcx.bitsPerPixel = 1;
  pcx.width = 13;
  pcx.height = 3;
  for (int i = 0; i < 39; ++i) pcx.pixels.push_back(i % 13 >= 7);
  pcx.headerColours[0] = colour0;
  pcx.headerColours[1] = colour1;
  return pcx;
}

std::vector<Sample> stillSamples() {
  const QImage q = quadrantPicture();
  const QSize s16(16, 16);
  std::vector<Probe> greyProbes;
  for (const Probe& p : kQuadrantProbes) {
    const int g = qGray(p.colour);
    greyProbes.push_back({p.x, p.y, qRgb(g, g, g)});
  }
  PcxPicture acrossRows = quadrantPcx();
  acrossRows.runsAcrossRows = true;
  const QRgb teal = qRgb(0, 128, 128), cream = qRgb(250, 240, 200);
  return {
      {"baseline JPEG", writeJpeg(q), s16, kQuadrantProbes, 10},
      {"progressive JPEG", writeJpeg(q, JpegKind::Progressive), s16, kQuadrantProbes, 10},
      {"greyscale JPEG", writeJpeg(q, JpegKind::Grey), s16, greyProbes, 6},
      {"Adobe CMYK JPEG", writeJpeg(q, JpegKind::AdobeCmyk), s16, kQuadrantProbes, 10},
      {"BMP", writeBmp(q), s16, kQuadrantProbes, 0},
      {"icon", writeIcon(q), s16, kQuadrantProbes, 0},
      // Hotspot y beyond any bit count an icon could hold.
      {"cursor", writeCursor(q, 7, 200), s16, kQuadrantProbes, 0},
      {"GIF", writeGif(quadrantGif()), s16, kQuadrantProbes, 0},
      {"PCX 8 bits", writePcx(quadrantPcx()), s16, kQuadrantProbes, 0},
      {"PCX 8 bits, runs across rows", writePcx(acrossRows), s16, kQuadrantProbes, 0},
      {"PCX 1 bit, header palette",
       writePcx(monoPcx(teal, cream)),
       {13, 3},
       {{0, 0, teal}, {6, 2, teal}, {7, 0, cream}, {12, 2, cream}},
       0},
      {"PCX 1 bit, blank header palette",
       writePcx(monoPcx(0, 0)),
       {13, 3},
       {{0, 0, qRgb(0, 0, 0)}, {6, 1, qRgb(0, 0, 0)}, {7, 1, kWhite}, {12, 2, kWhite}},
       0},
  };
}

TEST(DecodePicture, EachFormatYieldsItsPixels) {
  for (const Sample& sample : stillSamples()) {
    SCOPED_TRACE(sample.name);
    const std::vector<PictureFrame> frames = decodePicture(sample.bytes);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].delayMs, 0);
    ASSERT_EQ(frames[0].image.size(), sample.size);
    for (const Probe& p : sample.probes)
      EXPECT_TRUE(colourNear(frames[0].image, p.x, p.y, p.colour, sample.tolerance));
  }
}

// A cut-off download must never show, not even as part of a picture: every prefix fails.
TEST(DecodePicture, EveryTruncationYieldsNothing) {
  for (const Sample& sample : stillSamples()) {
    SCOPED_TRACE(sample.name);
    for (size_t length = 0; length < sample.bytes.size(); ++length)
      ASSERT_TRUE(decodePicture(sample.bytes.substr(0, length)).empty())
          << "prefix of " << length << " of " << sample.bytes.size() << " bytes";
  }
}

// The signature, then bytes of no sense where the structure should be.
TEST(DecodePicture, GarbageAfterTheSignatureYieldsNothing) {
  for (const Sample& sample : stillSamples()) {
    SCOPED_TRACE(sample.name);
    const std::string head = sample.bytes.substr(0, 6);
    const size_t rest = sample.bytes.size() - 6;
    EXPECT_TRUE(decodePicture(head + std::string(rest, '\0')).empty()) << "zeros";
    EXPECT_TRUE(decodePicture(head + std::string(rest, '\xFF')).empty()) << "0xFF";
    std::mt19937 random(17);
    for (int round = 0; round < 20; ++round) {
      std::string noise(rest, '\0');
      for (char& c : noise) c = char(random());
      EXPECT_TRUE(decodePicture(head + noise).empty()) << "noise round " << round;
    }
  }
}

// Bounds hold for every decoder, and pictures right at them still decode.
TEST(DecodePicture, SizeBounds) {
  const auto pcxOf = [](int width, int height) {
    PcxPicture pcx;
    pcx.width = width;
    pcx.height = height;
    pcx.pixels.assign(size_t(width) * size_t(height), 0);
    pcx.palette = {kRed};
    return writePcx(pcx);
  };
  const auto gifScreen = [](int width, int height) {
    GifPicture gif;
    gif.width = width;
    gif.height = height;
    gif.colours = {kRed, kGreen};
    gif.frames = {solidGifFrame(0, 0, 1, 1, 0)};
    return writeGif(gif);
  };
  const auto bmpOf = [](int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(kRed);
    return writeBmp(image);
  };
  const auto jpegOf = [](int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(kRed);
    return writeJpeg(image);
  };
  const int side = kPictureMaxSide;
  const int root = 4096;  // root * root is the pixel bound
  ASSERT_EQ(qint64(root) * root, kPictureMaxPixels);
  struct Case {
    const char* name;
    std::function<std::string()> make;
    QSize size;  // empty: nothing decodes
  };
  const Case cases[] = {
      {"JPEG at the widest", [&] { return jpegOf(side, 8); }, {side, 8}},
      {"JPEG one wider", [&] { return jpegOf(side + 1, 8); }, {}},
      {"JPEG one taller", [&] { return jpegOf(8, side + 1); }, {}},
      {"JPEG one pixel row over the pixel bound", [&] { return jpegOf(root + 1, root); }, {}},
      {"BMP at the widest", [&] { return bmpOf(side, 1); }, {side, 1}},
      {"BMP one wider", [&] { return bmpOf(side + 1, 1); }, {}},
      {"GIF screen at the widest", [&] { return gifScreen(side, 1); }, {side, 1}},
      {"GIF screen one wider", [&] { return gifScreen(side + 1, 1); }, {}},
      {"GIF screen one taller", [&] { return gifScreen(1, side + 1); }, {}},
      {"PCX at the widest", [&] { return pcxOf(side, 1); }, {side, 1}},
      {"PCX one wider", [&] { return pcxOf(side + 1, 1); }, {}},
      {"PCX at the pixel bound", [&] { return pcxOf(root, root); }, {root, root}},
      {"PCX one pixel row over the pixel bound", [&] { return pcxOf(root, root + 1); }, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::vector<PictureFrame> frames = decodePicture(c.make());
    if (c.size.isEmpty()) {
      EXPECT_TRUE(frames.empty());
    } else {
      ASSERT_EQ(frames.size(), 1u);
      EXPECT_EQ(frames[0].image.size(), c.size);
      EXPECT_TRUE(colourNear(frames[0].image, 0, 0, kRed, 10));
    }
  }
}

// --- JPEG -------------------------------------------------------------------------------------

// A progressive JPEG whose last scan is repeated until the file holds `scans` scans; libjpeg
// only warns about the repeats, so the file is otherwise fine.
std::string jpegWithScans(int scans) {
  const std::string jpeg = writeJpeg(quadrantPicture(), JpegKind::Progressive);
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(jpeg[i]); };
  std::string head;
  std::string lastScan;
  int count = 0;
  size_t i = 2;
  while (byte(i + 1) != 0xD9) {
    size_t end = i + 2 + (byte(i + 2) << 8 | byte(i + 3));
    if (byte(i + 1) == 0xDA) {  // a scan runs on to the next marker that is no stuffed 0xFF00
      while (!(byte(end) == 0xFF && byte(end + 1) != 0 &&
               !(byte(end + 1) >= 0xD0 && byte(end + 1) <= 0xD7)))
        ++end;
      lastScan = jpeg.substr(i, end - i);
      ++count;
    }
    head += jpeg.substr(i, end - i);
    i = end;
  }
  std::string out = jpeg.substr(0, 2) + head;
  for (; count < scans; ++count) out += lastScan;
  return out + jpeg.substr(i);
}

TEST(DecodeJpeg, ScanCountIsBounded) {
  const std::vector<PictureFrame> atBound = decodePicture(jpegWithScans(kJpegMaxScans));
  ASSERT_EQ(atBound.size(), 1u);
  EXPECT_TRUE(colourNear(atBound[0].image, 12, 12, kWhite, 10));
  EXPECT_TRUE(decodePicture(jpegWithScans(kJpegMaxScans + 1)).empty());
}

// --- GIF --------------------------------------------------------------------------------------

GifPicture fourColourScreen(int width, int height) {
  GifPicture gif;
  gif.width = width;
  gif.height = height;
  gif.colours = {kRed, kGreen, kBlue, kWhite};
  return gif;
}

TEST(DecodeGif, FramesAreComposedWithTheirDelays) {
  GifPicture gif = fourColourScreen(4, 4);
  gif.frames = {solidGifFrame(0, 0, 4, 4, 0), solidGifFrame(1, 1, 2, 2, 1),
                solidGifFrame(0, 0, 1, 1, 2), solidGifFrame(3, 3, 1, 1, 3)};
  const int delaysCs[] = {20, 0, 1, 2};
  for (size_t i = 0; i < 4; ++i) gif.frames[i].delayCs = delaysCs[i];
  const std::vector<PictureFrame> frames = decodePicture(writeGif(gif));
  ASSERT_EQ(frames.size(), 4u);
  // 0 and 1 centiseconds play as 100 ms, as browsers do.
  const int delaysMs[] = {200, 100, 100, 20};
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(frames[i].delayMs, delaysMs[i]) << "frame " << i;
    EXPECT_EQ(frames[i].image.size(), QSize(4, 4));
  }
  EXPECT_TRUE(colourNear(frames[0].image, 1, 1, kRed, 0));
  EXPECT_TRUE(colourNear(frames[1].image, 1, 1, kGreen, 0));
  EXPECT_TRUE(colourNear(frames[1].image, 0, 0, kRed, 0));
  EXPECT_TRUE(colourNear(frames[1].image, 3, 3, kRed, 0));
  const QImage& last = frames[3].image;
  EXPECT_TRUE(colourNear(last, 0, 0, kBlue, 0));
  EXPECT_TRUE(colourNear(last, 2, 2, kGreen, 0));
  EXPECT_TRUE(colourNear(last, 3, 3, kWhite, 0));
  EXPECT_TRUE(colourNear(last, 3, 0, kRed, 0));
}

TEST(DecodeGif, DisposalOfAFrameShapesTheNext) {
  struct Case {
    const char* name;
    int disposal;
    QRgb underneath;  // where frame 2 stood, as frame 3 shows it
  };
  const Case cases[] = {
      {"unspecified", 0, kGreen},
      {"keep", 1, kGreen},
      {"restore to background (transparent)", 2, kClear},
      {"restore to previous", 3, kRed},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    GifPicture gif = fourColourScreen(4, 4);
    gif.frames = {solidGifFrame(0, 0, 4, 4, 0), solidGifFrame(1, 1, 2, 2, 1),
                  solidGifFrame(0, 0, 1, 1, 2)};
    gif.frames[1].disposal = c.disposal;
    const std::vector<PictureFrame> frames = decodePicture(writeGif(gif));
    ASSERT_EQ(frames.size(), 3u);
    EXPECT_TRUE(colourNear(frames[1].image, 2, 2, kGreen, 0));  // shown before it is disposed
    EXPECT_TRUE(colourNear(frames[2].image, 1, 1, c.underneath, 0));
    EXPECT_TRUE(colourNear(frames[2].image, 2, 2, c.underneath, 0));
    EXPECT_TRUE(colourNear(frames[2].image, 0, 0, kBlue, 0));
    EXPECT_TRUE(colourNear(frames[2].image, 3, 3, kRed, 0));
  }
}

TEST(DecodeGif, TransparencyAndLocalColourMaps) {
  GifPicture gif = fourColourScreen(4, 4);
  gif.frames = {solidGifFrame(1, 0, 3, 4, 0), solidGifFrame(0, 0, 4, 4, 1)};
  gif.frames[0].transparent = 0;  // the first frame shows nothing of itself
  gif.frames[0].pixels[0] = 2;    // but this blue pixel at (1, 0)
  gif.frames[1].transparent = 3;  // and the second lets frame 1 through at its index 3
  gif.frames[1].pixels[1] = 3;    // (1, 0)
  gif.frames[1].pixels[5] = 3;    // (1, 1)
  gif.frames[1].localColours = {qRgb(1, 2, 3), qRgb(4, 5, 6)};
  const std::vector<PictureFrame> frames = decodePicture(writeGif(gif));
  ASSERT_EQ(frames.size(), 2u);
  EXPECT_TRUE(colourNear(frames[0].image, 0, 0, kClear, 0));  // the screen starts transparent
  EXPECT_TRUE(colourNear(frames[0].image, 2, 2, kClear, 0));
  EXPECT_TRUE(colourNear(frames[0].image, 1, 0, kBlue, 0));
  EXPECT_TRUE(colourNear(frames[1].image, 0, 0, qRgb(4, 5, 6), 0));  // local, not green
  EXPECT_TRUE(colourNear(frames[1].image, 1, 0, kBlue, 0));
  EXPECT_TRUE(colourNear(frames[1].image, 1, 1, kClear, 0));
}

TEST(DecodeGif, FramesAreClippedToTheScreen) {
  GifPicture gif = fourColourScreen(4, 4);
  gif.frames = {solidGifFrame(0, 0, 4, 4, 0), solidGifFrame(2, 2, 6, 6, 1),
                solidGifFrame(10, 1, 2, 2, 2)};
  for (int y = 0; y < 6; ++y) gif.frames[1].pixels[size_t(y * 6 + 1)] = 3;  // column x = 3
  const std::vector<PictureFrame> frames = decodePicture(writeGif(gif));
  ASSERT_EQ(frames.size(), 3u);
  for (const PictureFrame& frame : frames) EXPECT_EQ(frame.image.size(), QSize(4, 4));
  EXPECT_TRUE(colourNear(frames[1].image, 2, 2, kGreen, 0));
  EXPECT_TRUE(colourNear(frames[1].image, 3, 2, kWhite, 0));
  EXPECT_TRUE(colourNear(frames[1].image, 3, 3, kWhite, 0));
  EXPECT_TRUE(colourNear(frames[1].image, 1, 1, kRed, 0));
  EXPECT_TRUE(colourNear(frames[1].image, 1, 3, kRed, 0));
  // Wholly off the screen: the frame still counts, and shows what was there.
  EXPECT_EQ(frames[2].image, frames[1].image);
}

TEST(DecodeGif, InterlacedRowsLandInPlace) {
  GifPicture gif;
  gif.width = 1;
  gif.height = 13;
  for (int y = 0; y < 13; ++y) gif.colours.push_back(qRgb(y * 15, 100, 200 - y * 10));
  GifFrame frame = solidGifFrame(0, 0, 1, 13, 0);
  for (int y = 0; y < 13; ++y) frame.pixels[size_t(y)] = (unsigned char)y;
  frame.interlaced = true;
  gif.frames = {frame};
  const std::vector<PictureFrame> frames = decodePicture(writeGif(gif));
  ASSERT_EQ(frames.size(), 1u);
  for (int y = 0; y < 13; ++y)
    EXPECT_TRUE(colourNear(frames[0].image, 0, y, gif.colours[size_t(y)], 0));
}

TEST(DecodeGif, EmptyScreenTakesTheFirstFrameSize) {
  GifPicture gif = fourColourScreen(0, 0);
  gif.frames = {solidGifFrame(1, 2, 3, 1, 2), solidGifFrame(0, 0, 1, 1, 1)};
  const std::vector<PictureFrame> frames = decodePicture(writeGif(gif));
  ASSERT_EQ(frames.size(), 2u);
  EXPECT_EQ(frames[0].image.size(), QSize(4, 3));
  EXPECT_TRUE(colourNear(frames[1].image, 3, 2, kBlue, 0));
  EXPECT_TRUE(colourNear(frames[1].image, 0, 0, kGreen, 0));
}

TEST(DecodeGif, MalformedOrBeyondBoundsYieldsNothing) {
  const auto withoutGlobalMap = [] {
    GifPicture gif = fourColourScreen(2, 2);
    gif.frames = {solidGifFrame(0, 0, 2, 2, 1)};
    std::string bytes = writeGif(gif);
    const int entries = 2 << (bytes[10] & 7);
    bytes[10] = char(bytes[10] & 0x7F);
    return bytes.erase(13, size_t(3 * entries));
  };
  const auto framesOnScreen = [](int side, int count) {
    GifPicture gif = fourColourScreen(side, side);
    for (int i = 0; i < count; ++i) gif.frames.push_back(solidGifFrame(0, 0, 1, 1, 1));
    return writeGif(gif);
  };
  const auto bigFrame = [](int width, int height) {
    GifPicture gif = fourColourScreen(2, 2);
    gif.frames = {solidGifFrame(0, 0, width, height, 1)};
    return writeGif(gif);
  };
  const auto emptyFrame = [] {  // giflib cannot write one: a 1 x 1 frame, made 0 x 1
    GifPicture gif = fourColourScreen(2, 2);
    gif.frames = {solidGifFrame(0, 0, 1, 1, 1)};
    std::string bytes = writeGif(gif);
    const size_t descriptor = bytes.find(bytesOf({0x2C, 0, 0, 0, 0, 1, 0, 1, 0}));
    bytes[descriptor + 5] = 0;
    return bytes;
  };
  const int budgetSide = 4096;  // screens of budgetSide^2 pixels: two fit the animation bound
  ASSERT_EQ(2 * qint64(budgetSide) * budgetSide, kAnimationMaxPixels);
  struct Case {
    const char* name;
    std::function<std::string()> make;
    size_t frames;
  };
  const Case cases[] = {
      {"no colour map at all", withoutGlobalMap, 0},
      {"frames up to the frame bound", [&] { return framesOnScreen(1, kAnimationMaxFrames); },
       size_t(kAnimationMaxFrames)},
      {"one frame more", [&] { return framesOnScreen(1, kAnimationMaxFrames + 1); }, 0},
      {"two big screens", [&] { return framesOnScreen(budgetSide, 2); }, 2},
      {"three big screens", [&] { return framesOnScreen(budgetSide, 3); }, 0},
      {"a frame far larger than the screen", [&] { return bigFrame(kPictureMaxSide + 1, 1); }, 0},
      {"a frame of no pixels", emptyFrame, 0},
  };
  for (const Case& c : cases) EXPECT_EQ(decodePicture(c.make()).size(), c.frames) << c.name;
}

// --- PCX --------------------------------------------------------------------------------------

TEST(DecodePcx, HeaderIsChecked) {
  struct Case {
    const char* name;
    std::function<void(std::string&)> change;
    bool decodes;
  };
  const Case cases[] = {
      {"as written", [](std::string&) {}, true},
      {"window not at the origin",
       [](std::string& b) {
         putLe16(b, 4, 100);
         putLe16(b, 8, 115);
       },
       true},
      {"window left of its start", [](std::string& b) { putLe16(b, 4, 16); }, false},
      {"window above its start", [](std::string& b) { putLe16(b, 6, 16); }, false},
      {"bytes per line short of the width", [](std::string& b) { putLe16(b, 66, 15); }, false},
      {"bytes per line of zero", [](std::string& b) { putLe16(b, 66, 0); }, false},
      {"three planes", [](std::string& b) { b[65] = 3; }, false},
      {"no planes", [](std::string& b) { b[65] = 0; }, false},
      {"palette marker missing", [](std::string& b) { b[b.size() - 769] = 0x0B; }, false},
      {"palette cut off", [](std::string& b) { b.resize(b.size() - 768); }, false},
  };
  for (const Case& c : cases) {
    std::string bytes = writePcx(quadrantPcx());
    c.change(bytes);
    const std::vector<PictureFrame> frames = decodePicture(bytes);
    EXPECT_EQ(frames.size(), c.decodes ? 1u : 0u) << c.name;
    if (c.decodes && frames.size() == 1) {
      EXPECT_EQ(frames[0].image.size(), QSize(16, 16)) << c.name;
      EXPECT_TRUE(colourNear(frames[0].image, 12, 12, kWhite, 0)) << c.name;
    }
  }
}

TEST(DecodePcx, PaddedRowsKeepTheirPixels) {
  // Wider rows than the window needs: the padding must not shift the next row.
  PcxPicture pcx = quadrantPcx();
  pcx.bytesPerLine = 21;
  const std::vector<PictureFrame> frames = decodePicture(writePcx(pcx));
  ASSERT_EQ(frames.size(), 1u);
  for (const Probe& p : kQuadrantProbes)
    EXPECT_TRUE(colourNear(frames[0].image, p.x, p.y, p.colour, 0));
}

// --- Inputs the fuzzer found or started from --------------------------------------------------

TEST(DecodePicture, FuzzCorpusDecodesWithinBounds) {
  const std::filesystem::path dir =
      std::filesystem::path(BOOKAUDIT_SOURCE_DIR) / "tests/fuzz/corpus/picture";
  int seeds = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    const std::string name = entry.path().filename().string();
    SCOPED_TRACE(name);
    std::ifstream in(entry.path(), std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    const std::vector<PictureFrame> frames = decodePicture(bytes);
    for (const PictureFrame& frame : frames) {
      EXPECT_EQ(frame.image.size(), frames[0].image.size());
      EXPECT_LE(qint64(frame.image.width()) * frame.image.height(), kPictureMaxPixels);
    }
    if (name.rfind("seed-", 0) == 0) {
      ++seeds;
      EXPECT_FALSE(frames.empty()) << "a seed is a good picture";
    }
  }
  EXPECT_GT(seeds, 0);
}

}  // namespace

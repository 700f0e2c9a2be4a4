#pragma once
#include <QImage>
#include <QtGlobal>
#include <string>
#include <vector>

// Picture formats, recognised by the first six bytes of the data.
enum class PictureFormat { None, Jpeg, Bmp, Icon, Cursor, Gif, Pcx8, Pcx1 };

struct PictureFrame {
  QImage image;     // the full frame, already composed (GIF frames include earlier ones)
  int delayMs = 0;  // how long the frame stays before the next one; 0 for still pictures
};

// Bounds every decoder keeps to, so that hostile bytes cost bounded memory and time. A picture
// beyond them is refused as a whole (no frames), like a malformed one.
inline constexpr int kPictureMaxSide = 8192;
inline constexpr qint64 kPictureMaxPixels = qint64{16} << 20;    // one frame: 64 MB at 32 bits
inline constexpr qint64 kAnimationMaxPixels = qint64{32} << 20;  // all frames of one GIF
inline constexpr int kAnimationMaxFrames = 1000;
inline constexpr int kJpegMaxScans = 1000;  // progressive JPEGs may repeat scans without end

PictureFormat recognisePicture(const std::string& bytes);

// Recognises and decodes; yields no frames for anything unrecognised, truncated or malformed.
std::vector<PictureFrame> decodePicture(const std::string& bytes);

// The PCX decoder behind decodePicture, for bytes recognised as Pcx8 or Pcx1.
std::vector<PictureFrame> decodePcx(const std::string& bytes);

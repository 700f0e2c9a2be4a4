#pragma once
#include <QImage>
#include <string>
#include <vector>

// Picture formats, recognised by the first six bytes of the data.
enum class PictureFormat { None, Jpeg, Bmp, Icon, Cursor, Gif, Pcx8, Pcx1 };

struct PictureFrame {
  QImage image;     // the full frame, already composed (GIF frames include earlier ones)
  int delayMs = 0;  // how long the frame stays before the next one; 0 for still pictures
};

PictureFormat recognisePicture(const std::string& bytes);

// Recognises and decodes; yields no frames for anything unrecognised, truncated or malformed.
std::vector<PictureFrame> decodePicture(const std::string& bytes);

// libFuzzer target: decodePicture must survive any bytes, and what it yields must keep to the
// bounds of picture.h.
#include <QtGlobal>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/picture.h"

namespace {
void quiet(QtMsgType, const QMessageLogContext&, const QString&) {}
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  qInstallMessageHandler(quiet);  // Qt's readers complain about every broken header
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  const std::vector<PictureFrame> frames = decodePicture(bytes);
  if (frames.size() > size_t(kAnimationMaxFrames)) std::abort();
  for (const PictureFrame& frame : frames) {
    const QImage& image = frame.image;
    if (image.isNull() || image.size() != frames.front().image.size() ||
        image.width() > kPictureMaxSide || image.height() > kPictureMaxSide ||
        qint64(image.width()) * image.height() > kPictureMaxPixels || frame.delayMs < 0)
      std::abort();
  }
  return 0;
}

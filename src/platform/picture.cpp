#include "platform/picture.h"

PictureFormat recognisePicture(const std::string&) { return PictureFormat::None; }
std::vector<PictureFrame> decodePicture(const std::string&) { return {}; }

#pragma once
#include "platform/text.h"

// Fetches the picture at address and shows it in 图片框1 (empty when it is no picture).
void fetchCoverPicture(const Text& address);
// Opens the current row's download address in the browser and copies the password.
void openDownloadLink();

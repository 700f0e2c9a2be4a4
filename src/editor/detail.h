#pragma once
#include "platform/text.h"

// The cover address of an ISBN: "http://" + CoverHost + "/Cover/" + isbn + ".jpg".
Text coverAddress(const Text& isbn);
// Copies the current grid row into the detail controls, then fetches its cover picture.
void showRecordDetails();
// Replaces the text of 编辑框11 by the cover address of the ISBN in 编辑框6.
void deriveCoverAddress();

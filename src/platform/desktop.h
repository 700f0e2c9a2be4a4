#pragma once
#include <functional>

#include "platform/text.h"

// Hands the address to the desktop's "open" action (the default web browser). The outcome is
// not examined.
void openInBrowser(const Text& address);
// Replaces the clipboard's contents by the text, as plain text.
void setClipboardText(const Text& text);

// Tests observe the opener and the clipboard through these seams; nullptr restores the desktop.
void setOpenInBrowserSeam(std::function<void(const Text&)> seam);
void setClipboardSeam(std::function<void(const Text&)> seam);

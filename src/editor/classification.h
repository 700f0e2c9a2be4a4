#pragma once
#include <vector>

#include "platform/text.h"

// One main class of the Chinese Library Classification (with the system's own groups) and its
// subclasses, as GBK Text.
struct ClassificationEntry {
  Text mainClass;
  std::vector<Text> subclasses;
};

// The fixed table: 25 main classes in the order they are compared and listed, each with its
// subclasses in the order they are added to the subclass list (252 in all).
const std::vector<ClassificationEntry>& classificationTable();

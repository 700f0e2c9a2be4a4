#include "editor/subclasses.h"

#include "editor/classification.h"
#include "platform/toolkit.h"

void fillSubclassList() {
  for (int n = comboItemCount("组合框2"); n > 0; --n) comboDeleteItem("组合框2", 0);
  const Text mainClass = controlText("组合框1");
  for (const ClassificationEntry& entry : classificationTable()) {
    if (entry.mainClass != mainClass) continue;
    for (const Text& subclass : entry.subclasses) comboAppendItem("组合框2", subclass);
    comboSelectItem("组合框2", 0);
    return;
  }
  // A text that is no main class leaves the list empty and the edit part as it was.
}

#pragma once
#include "platform/text.h"

// The search statement for the current filter texts.
Text searchStatement();
// Lists the first 100 records matching the three filters.
void runSearch();

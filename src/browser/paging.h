#pragma once
#include <cstdint>

#include "platform/text.h"

// The page last asked for, counted from 0; never below 0.
extern int32_t currentPage;

// The page statement for the current ISBN filter and page.
Text pageStatement();
// The actions of the buttons 首页, 上一页 and 下一页.
void showFirstPage();
void showPreviousPage();
void showNextPage();

#include "browser/grid.h"

#include "platform/gbk.h"
#include "platform/toolkit.h"

const HeaderSet searchHeaders = {
    {"审核状态", 70},  {"序号", 50},      {"上传者QQ", 80},  {"书    名", 200},
    {"作    者", 100}, {"译    者", 80},  {"出版时间", 80},  {"出 版 社", 120},
    {"ＩＳＢＮ", 100}, {"图书简介", 0},   {"下载地址", 0},   {"提取密码", 0},
    {"封面地址", 0},   {"图书大类", 150}, {"图书小类", 150}, {"审核日期", 100},
};

const HeaderSet pageHeaders = {
    {"审核状态", 60}, {"序号", 40},      {"上传者QQ", 80},  {"书    名", 200}, {"作    者", 120},
    {"译    者", 90}, {"出版时间", 90},  {"出 版 社", 150}, {"ＩＳＢＮ", 110}, {"图书简介", 0},
    {"下载地址", 0},  {"提取密码", 230}, {"封面地址", 70},  {"图书大类", 0},   {"图书小类", 120},
};

// The first page was once titled from a list with an extra "图书目录" after the introduction,
// which put every title from column 10 on over the wrong field (the password under
// "下载地址", the download address hidden at width 0). Each title here keeps its width but
// stands over the field it names.
const HeaderSet firstPageHeaders = {
    {"审核状态", 60},  {"序号", 40},      {"上传者QQ", 80},  {"书    名", 200},
    {"作    者", 120}, {"译    者", 90},  {"出版时间", 90},  {"出 版 社", 150},
    {"ＩＳＢＮ", 110}, {"图书简介", 0},   {"下载地址", 230}, {"提取密码", 70},
    {"封面地址", 0},   {"图书大类", 120}, {"图书小类", 120}, {"审核日期", 120},
};

void fillGrid(ResultHandle result, const HeaderSet& headers) {
  const int32_t fields = dbFieldCount(result);
  // The low 32 bits, as every caller of the row count takes them.
  const int32_t rows = static_cast<int32_t>(static_cast<uint32_t>(dbRowCount(result)));

  gridBeginFill(kGrid);
  gridRemoveAllRows(kGrid);
  gridRemoveAllColumns(kGrid);
  for (int32_t k = 0; k < fields; ++k) gridAddColumn(kGrid, Text(), 50);
  // Entries past the result's last field have no column to title.
  for (size_t k = 0; k < headers.size() && static_cast<int32_t>(k) < fields; ++k)
    gridSetColumn(kGrid, static_cast<int>(k), gbk(headers[k].title), headers[k].width);

  for (int32_t r = 0; r < rows; ++r) {
    const int row = gridAppendRow(kGrid);
    for (int32_t k = 0; k < fields; ++k) {
      Text value;
      dbReadField(result, k, value);
      gridSetCell(kGrid, row, k, value);
    }
    dbNextRow(result);
  }
  // Everything is in the grid now; nothing reads the result again.
  dbFreeResult(result);
  gridEndFill(kGrid);

  // Raises focused-row-changed (the detail view) when there is a row 0; nothing otherwise.
  gridSetCurrentRow(kGrid, 0);
}

// Converts a UTF-8 machine-list page of several sizes to GBK and cuts every
// machine block out of it, printing MB/s for both; equal rates across sizes
// show both steps are linear in the page size.
#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <string>

#include "base/codepage.h"
#include "base/text.h"
#include "portal/machine_list.h"

using namespace qx;
using Clock = std::chrono::steady_clock;

static std::string U8(const char8_t* s) { return reinterpret_cast<const char*>(s); }

static std::string MakePage(size_t targetBytes, size_t& blocks) {
  std::string page = U8(u8"<html><head><meta charset=\"utf-8\"></head><body><!--列表-->");
  blocks = 0;
  while (page.size() < targetBytes) {
    std::string n = std::to_string(blocks++);
    page +=
        U8(u8"<div class=\"t-row\"><span>业务标识：QX") + n +
        U8(u8"</span><i data-name=\"测试机备注") + n +
        U8(u8"\"></i><!--备注---!><!--线路><!--><h3>广东电信拨号</h3>"
           u8"<span class=\"txt\">10.0.0.1:3389</span><span>系统账户：administrator</span>"
           u8"<span>系统密码：Pa55w0rd</span><span>宽带账号：ad123</span><span>宽带密码：bb</span>"
           u8"<!--开通时间!--><h3>2026-01-01 10:00:00<br><em class=\"\">2027-01-01</em></h3>"
           u8"<!--状态><!--><h3>运行中</h3><a href=\"/m?menu=outstart&id=") +
        n + U8(u8"\">管理</a><a>续费</a></div>\n");
  }
  page += U8(u8"<a>首页</a></body></html>");
  return page;
}

// One machine block of about 1.9 KB of markup, as the portal's pages carry.
static std::string RealisticBlock(size_t i) {
  const std::string n = std::to_string(i);
  std::string b =
      U8(u8"<div class=\"t-row\">\n<div class=\"t-col c-id\"><span>业务标识：QX") + n +
      U8(u8"</span><i class=\"icon-edit\" data-name=\"测试机备注") + n +
      U8(u8"\"></i><!--备注---!></div>\n<div class=\"t-col\"><!--线路><!--><h3>广东电信拨号"
         u8"</h3><p class=\"sub\">华南区域 · 动态IP</p></div>\n<div class=\"t-col\"><span "
         u8"class=\"txt\">10.0.0.1:3389</span><span>系统账户：administrator</span><span>"
         u8"系统密码：Pa55w0rd</span><span>宽带账号：ad123</span><span>宽带密码：bb</span>"
         u8"</div>\n<div class=\"t-col\"><!--开通时间!--><h3>2026-01-01 10:00:00<br><em "
         u8"class=\"\">2027-01-01 10:00:00</em></h3></div><div class=\"t-col\"><!--状态><!--><h3>"
         u8"运行中</h3></div>\n<div class=\"t-col ops\"><a class=\"btn\" href=\"/user/"
         u8"cloudManage/manage.html?menu=outstart&id=") +
      n + U8(u8"\">管理</a>");
  while (b.size() < 1850) b += U8(u8"<span class=\"tip\" title=\"提示\">说明文字</span>");
  return b + U8(u8"<a class=\"btn\">续费</a></div></div>\n");
}

// The worker's whole job on the three list pages of 2,000 machines: convert,
// cut the sections, count, cut the rows; with the table and the platform way.
static void PageSet() {
  std::array<std::string, kListPageCount> pages;
  const size_t sizes[] = {500, 1000, 500};
  size_t i = 0, total = 0;
  for (size_t k = 0; k < kListPageCount; ++k) {
    pages[k] = U8(u8"<html><body><!--列表--><!--统计数量！---><span class=\"num\" >[") +
               std::to_string(sizes[k]) + "]</span>";
    for (size_t j = 0; j < sizes[k]; ++j) pages[k] += RealisticBlock(++i);
    pages[k] += U8(u8"<a>首页</a></body></html>");
    total += pages[k].size();
  }
  for (bool table : {false, true}) {
    double best = 1e9;
    size_t rows = 0;
    for (int run = 0; run < 5; ++run) {
      auto t0 = Clock::now();
      std::array<Text, kListPageCount> gbk;
      for (size_t k = 0; k < kListPageCount; ++k)
        gbk[k] = table ? Utf8ToAnsi(pages[k]) : Utf8ToAnsiByPlatform(pages[k]);
      rows = MachineRowsFromText(ReadListPages(gbk).joined).size();
      best = std::min(best, std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
    }
    std::printf("page set %.2f MB, %zu rows, %s: convert and cut %.1f ms (%.0f MB/s)\n",
                total / 1048576.0, rows, table ? "table" : "platform", best,
                total / 1048576.0 / (best / 1000));
  }
}

int main() {
  PageSet();
  const std::string rowStart = "<div class=\"t-row\">", rowEnd = "续费</a>";
  std::printf("%10s %8s %14s %14s\n", "page MB", "blocks", "convert MB/s", "cut MB/s");
  for (size_t mb : {2, 8, 32}) {
    size_t blocks = 0;
    std::string page = MakePage(mb << 20, blocks);
    auto t0 = Clock::now();
    std::string gbk = Utf8ToAnsi(page);
    auto t1 = Clock::now();
    size_t found = 0, fieldBytes = 0;
    long pos = 1;
    std::string_view piece;
    while (CutBetween(gbk, rowStart, rowEnd, pos, piece)) {
      ++found;
      fieldBytes += TextBetween(piece, "<span>业务标识：", "</span>").size();
      fieldBytes += TextBetween(piece, "&id=", "\">管理</a>").size();
    }
    auto t2 = Clock::now();
    double mbIn = page.size() / 1048576.0, mbGbk = gbk.size() / 1048576.0;
    double conv = std::chrono::duration<double>(t1 - t0).count();
    double cut = std::chrono::duration<double>(t2 - t1).count();
    std::printf("%10.1f %8zu %14.1f %14.1f%s\n", mbIn, blocks, mbIn / conv, mbGbk / cut,
                found == blocks && fieldBytes ? "" : "  (MISSED BLOCKS)");
    if (found != blocks) return 1;
  }
  return 0;
}

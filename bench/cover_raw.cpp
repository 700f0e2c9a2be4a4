#include "cover_raw.h"

#include <curl/curl.h>

#include <cmath>
#include <csetjmp>
#include <cstdint>
#include <cstdio>  // jpeglib.h needs FILE
#include <vector>

#include <jpeglib.h>

namespace {

constexpr int kWidth = 600;
constexpr int kHeight = 800;

unsigned char clampByte(double v) {
  return static_cast<unsigned char>(v < 0 ? 0 : v > 255 ? 255 : v);
}

// A small xorshift: grain that a photograph has and a flat drawing does not.
uint32_t nextRandom(uint32_t& s) {
  s ^= s << 13;
  s ^= s >> 17;
  s ^= s << 5;
  return s;
}

}  // namespace

std::string makeCoverJpeg() {
  std::vector<unsigned char> rgb(size_t{kWidth} * kHeight * 3);
  uint32_t seed = 2463534242u;
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      unsigned char* p = &rgb[(static_cast<size_t>(y) * kWidth + x) * 3];
      double r, g, b;
      if (y < 180) {
        // Title band: a dark colour with light "characters" in rows of blocks.
        r = 150, g = 30, b = 40;
        const bool glyph = y > 40 && y < 150 && (y - 40) % 55 < 40 && x > 60 && x < 540 &&
                           (x - 60) % 48 < 38 && ((x * 7 + y * 3) % 11 < 6);
        if (glyph) r = g = b = 240;
      } else {
        // Picture: soft shapes and gradients with grain.
        const double fx = x / double(kWidth), fy = (y - 180) / double(kHeight - 180);
        r = 90 + 80 * std::sin(6.0 * fx + 2.0 * fy) + 40 * fy;
        g = 110 + 60 * std::cos(4.0 * fy - 3.0 * fx);
        b = 140 + 70 * std::sin(3.0 * fx * fy * 10.0);
        const double dx = x - 300, dy = y - 480;
        if (dx * dx + dy * dy < 140.0 * 140.0) r += 60, g += 40, b -= 50;
        const double grain = int(nextRandom(seed) % 25) - 12;
        r += grain, g += grain, b += grain;
      }
      p[0] = clampByte(r), p[1] = clampByte(g), p[2] = clampByte(b);
    }
  }

  jpeg_compress_struct cinfo{};
  jpeg_error_mgr err{};
  cinfo.err = jpeg_std_error(&err);
  jpeg_create_compress(&cinfo);
  unsigned char* out = nullptr;
  unsigned long outSize = 0;
  jpeg_mem_dest(&cinfo, &out, &outSize);
  cinfo.image_width = kWidth;
  cinfo.image_height = kHeight;
  cinfo.input_components = 3;
  cinfo.in_color_space = JCS_RGB;
  jpeg_set_defaults(&cinfo);  // baseline, 4:2:0
  jpeg_set_quality(&cinfo, 85, TRUE);
  jpeg_start_compress(&cinfo, TRUE);
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW row = &rgb[size_t{cinfo.next_scanline} * kWidth * 3];
    jpeg_write_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  std::string bytes(reinterpret_cast<char*>(out), outSize);
  free(out);
  return bytes;
}

namespace {

size_t appendBody(char* data, size_t size, size_t count, void* user) {
  static_cast<std::string*>(user)->append(data, size * count);
  return size * count;
}

struct ErrorJump {
  jpeg_error_mgr pub;
  std::jmp_buf jump;
};

[[noreturn]] void onJpegError(j_common_ptr cinfo) {
  std::longjmp(reinterpret_cast<ErrorJump*>(cinfo->err)->jump, 1);
}

}  // namespace

RawFetcher::RawFetcher() {
  curl_global_init(CURL_GLOBAL_DEFAULT);
  CURL* curl = curl_easy_init();
  curl_easy_setopt(curl, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_0));
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, appendBody);
  curl_ = curl;
}

RawFetcher::~RawFetcher() {
  curl_easy_cleanup(static_cast<CURL*>(curl_));
}

std::string RawFetcher::get(const std::string& url) {
  CURL* curl = static_cast<CURL*>(curl_);
  std::string body;
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &body);
  if (curl_easy_perform(curl) != CURLE_OK) return {};
  return body;
}

DecodedPicture decodeJpeg(const std::string& bytes) {
  jpeg_decompress_struct cinfo{};
  ErrorJump err{};
  cinfo.err = jpeg_std_error(&err.pub);
  err.pub.error_exit = onJpegError;
  // Outside the frame that setjmp returns to twice, so it is intact after a longjmp.
  auto picture = std::make_unique<DecodedPicture>();
  if (setjmp(err.jump)) {
    jpeg_destroy_decompress(&cinfo);
    return {};
  }
  jpeg_create_decompress(&cinfo);
  jpeg_mem_src(&cinfo, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
  jpeg_read_header(&cinfo, TRUE);
  cinfo.out_color_space = JCS_EXT_RGBX;
  jpeg_start_decompress(&cinfo);
  const size_t stride = size_t{cinfo.output_width} * 4;
  picture->pixels.reset(new unsigned char[stride * cinfo.output_height]);
  picture->width = static_cast<int>(cinfo.output_width);
  picture->height = static_cast<int>(cinfo.output_height);
  while (cinfo.output_scanline < cinfo.output_height) {
    JSAMPROW row = &picture->pixels[stride * cinfo.output_scanline];
    jpeg_read_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  return std::move(*picture);
}

#pragma once
// The cover picture of the benchmark and the raw limit of fetching and decoding it.
#include <memory>
#include <string>

// A 600 x 800 cover as a publisher's site would serve it: baseline JPEG, quality 85, 4:2:0,
// a photograph-like area under a title band (about 100 KB).
std::string makeCoverJpeg();

// A plain libcurl client set up once, as the program's client is: GET over HTTP/1.0.
class RawFetcher {
 public:
  RawFetcher();
  ~RawFetcher();
  std::string get(const std::string& url);

 private:
  void* curl_;
};

// A decoded picture, four bytes a pixel (what a picture box draws from).
struct DecodedPicture {
  std::unique_ptr<unsigned char[]> pixels;
  int width = 0, height = 0;
};

// libjpeg-turbo decode into a new, uninitialised buffer; no pixels on failure.
DecodedPicture decodeJpeg(const std::string& bytes);

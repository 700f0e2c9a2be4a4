// Writes the seed corpus of picture_fuzzer: one small picture of each kind decodePicture reads.
//   picture_seeds DIR
#include <cstdio>
#include <fstream>

#include "fuzz/picture_samples.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s DIR\n", argv[0]);
    return 2;
  }
  for (const PictureSample& sample : pictureSamples()) {
    const std::string path = std::string(argv[1]) + "/seed-" + sample.name;
    std::ofstream out(path, std::ios::binary);
    out.write(sample.bytes.data(), std::streamsize(sample.bytes.size()));
    if (!out) {
      std::fprintf(stderr, "cannot write %s\n", path.c_str());
      return 1;
    }
  }
  return 0;
}

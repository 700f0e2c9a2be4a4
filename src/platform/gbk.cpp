#include "platform/gbk.h"

#include <errno.h>
#include <iconv.h>

#include <cstdlib>
#include <vector>

namespace {

constexpr char16_t kEscapeBase = 0xDC00;  // raw byte b <-> U+DC00 + b (b >= 0x80 in practice)

// Converters are opened once; the system runs on one thread.
iconv_t converter(const char* to, const char* from) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) std::abort();  // glibc always has GBK
  return cd;
}

iconv_t fromGbk() {
  static iconv_t cd = converter("UTF-16LE", "GBK");
  return cd;
}

iconv_t toGbk() {
  static iconv_t cd = converter("GBK", "UTF-16LE");
  return cd;
}

}  // namespace

QString decodeGbk(const Text& bytes) {
  QString out;
  out.reserve(static_cast<qsizetype>(bytes.size()));
  iconv_t cd = fromGbk();
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  char* in = const_cast<char*>(bytes.data());
  size_t inLeft = bytes.size();
  std::vector<char16_t> buf(bytes.size() + 4);
  while (inLeft > 0) {
    char* outp = reinterpret_cast<char*>(buf.data());
    size_t outLeft = buf.size() * sizeof(char16_t);
    size_t rc = iconv(cd, &in, &inLeft, &outp, &outLeft);
    size_t produced = (buf.size() * sizeof(char16_t) - outLeft) / sizeof(char16_t);
    out.append(reinterpret_cast<const QChar*>(buf.data()), static_cast<qsizetype>(produced));
    if (rc == static_cast<size_t>(-1) && (errno == EILSEQ || errno == EINVAL)) {
      // Keep the offending byte as itself and go on with the next one.
      out.append(QChar(static_cast<char16_t>(kEscapeBase + static_cast<unsigned char>(*in))));
      ++in;
      --inLeft;
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
    } else if (rc == static_cast<size_t>(-1) && errno != E2BIG) {
      break;
    }
  }
  return out;
}

std::optional<Text> encodeGbk(const QString& text) {
  Text out;
  out.reserve(static_cast<size_t>(text.size()) * 2);
  iconv_t cd = toGbk();
  const char16_t* p = reinterpret_cast<const char16_t*>(text.utf16());
  const char16_t* end = p + text.size();
  char buf[256];
  while (p < end) {
    // The longest run of ordinary characters, then at most one escaped raw byte.
    const char16_t* runEnd = p;
    while (runEnd < end && !(*runEnd >= kEscapeBase + 0x80 && *runEnd <= kEscapeBase + 0xFF))
      ++runEnd;
    char* in = const_cast<char*>(reinterpret_cast<const char*>(p));
    size_t inLeft = static_cast<size_t>(runEnd - p) * sizeof(char16_t);
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    while (inLeft > 0) {
      char* outp = buf;
      size_t outLeft = sizeof buf;
      size_t rc = iconv(cd, &in, &inLeft, &outp, &outLeft);
      out.append(buf, sizeof buf - outLeft);
      if (rc == static_cast<size_t>(-1) && errno != E2BIG) return std::nullopt;
    }
    char* outp = buf;
    size_t outLeft = sizeof buf;
    iconv(cd, nullptr, nullptr, &outp, &outLeft);
    out.append(buf, sizeof buf - outLeft);
    p = runEnd;
    if (p < end) {
      out += static_cast<char>(*p - kEscapeBase);
      ++p;
    }
  }
  return out;
}

Text gbk(std::string_view utf8) {
  auto encoded = encodeGbk(QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())));
  if (!encoded) std::abort();  // a fixed text of the system that GBK cannot hold is a bug
  return *encoded;
}

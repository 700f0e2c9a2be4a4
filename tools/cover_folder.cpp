#include "cover_folder.h"

#include <limits.h>
#include <sys/stat.h>

#include <cctype>
#include <cstdlib>
#include <fstream>
#include <iterator>

namespace {

constexpr long long MaxFileBytes = 256LL << 20;

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string percentDecoded(const std::string& s) {
  std::string out;
  for (std::size_t i = 0; i < s.size(); ++i) {
    int hi, lo;
    if (s[i] == '%' && i + 2 < s.size() && (hi = hexValue(s[i + 1])) >= 0 &&
        (lo = hexValue(s[i + 2])) >= 0) {
      out += static_cast<char>(hi * 16 + lo);
      i += 2;
    } else {
      out += s[i];
    }
  }
  return out;
}

std::string contentType(const std::string& path) {
  const auto dot = path.rfind('.');
  std::string ext = dot == std::string::npos ? "" : path.substr(dot + 1);
  for (char& ch : ext) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  if (ext == "jpg" || ext == "jpeg") return "image/jpeg";
  if (ext == "gif") return "image/gif";
  if (ext == "png") return "image/png";
  if (ext == "bmp") return "image/bmp";
  if (ext == "ico") return "image/x-icon";
  if (ext == "html" || ext == "htm") return "text/html";
  return "application/octet-stream";
}

// The file under root that the request's path names, if it is one: no "..", no NUL, and
// after following links still inside root.
HttpReply serveFile(const std::string& root, const HttpRequest& req) {
  if (req.method != "GET") return HttpReply(405, "method not allowed\n", {"Allow: GET"});
  if (req.target.empty() || req.target[0] != '/') return HttpReply(400, "bad request\n");
  const std::string path = percentDecoded(req.target.substr(0, req.target.find('?')));
  if (path.find('\0') != std::string::npos) return HttpReply(400, "bad request\n");
  for (std::size_t start = 0; start <= path.size();) {
    std::size_t end = path.find('/', start);
    if (end == std::string::npos) end = path.size();
    if (path.compare(start, end - start, "..") == 0) return HttpReply(403, "forbidden\n");
    start = end + 1;
  }
  char resolved[PATH_MAX];
  if (!realpath((root + path).c_str(), resolved)) return HttpReply(404, "not found\n");
  const std::string real = resolved;
  if (real != root && real.compare(0, root.size() + 1, root + "/") != 0)
    return HttpReply(403, "forbidden\n");
  struct stat st;
  if (stat(resolved, &st) != 0 || !S_ISREG(st.st_mode)) return HttpReply(404, "not found\n");
  if (st.st_size > MaxFileBytes) return HttpReply(403, "too large\n");
  std::ifstream in(real, std::ios::binary);
  std::string body((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (!in && !in.eof()) return HttpReply(500, "read error\n");
  return HttpReply(200, std::move(body), {"Content-Type: " + contentType(real)});
}

}  // namespace

std::optional<HttpServer::Handler> folderHandler(const std::string& dir) {
  char root[PATH_MAX];
  struct stat st;
  if (!realpath(dir.c_str(), root) || stat(root, &st) != 0 || !S_ISDIR(st.st_mode))
    return std::nullopt;
  const std::string rootDir = std::string(root) == "/" ? "" : root;
  return HttpServer::Handler([rootDir](const HttpRequest& req) { return serveFile(rootDir, req); });
}

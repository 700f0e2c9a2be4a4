#include "platform/http.h"

#include <curl/curl.h>
#include <strings.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>

namespace {

HttpLimits limits;

const char* const UserAgent = "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)";

// The one client of the program: set up at the first fetch and kept to the end.
struct Client {
  CURL* curl = nullptr;
  curl_slist* headers = nullptr;
};

Client* client() {
  static Client* c = [] {
    auto* made = new Client;
    if (curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK) made->curl = curl_easy_init();
    for (const char* h : {"Accept: */*", "Cache-Control: no-cache", "Pragma: no-cache"})
      made->headers = curl_slist_append(made->headers, h);
    return made;
  }();
  return c->curl && c->headers ? c : nullptr;
}

using UrlHandle = std::unique_ptr<CURLU, decltype(&curl_url_cleanup)>;

std::optional<std::string> urlPart(CURLU* u, CURLUPart part) {
  char* s = nullptr;
  if (curl_url_get(u, part, &s, 0) != CURLUE_OK) return std::nullopt;
  std::string value(s);
  curl_free(s);
  return value;
}

// One hop of a fetch: the address for libcurl and the request target exactly as written.
struct Target {
  std::string url;
  std::string scheme;
  std::string pathAndQuery;
};

// Splits an address into the parts libcurl will use; nothing when it cannot be split. A space
// cannot travel in a request line, and "%20" is what it stands for; every other byte stays as
// written.
std::optional<Target> resolve(std::string address) {
  address.erase(std::min(address.find('#'), address.size()));
  for (std::size_t at = 0; (at = address.find(' ', at)) != std::string::npos; at += 3)
    address.replace(at, 1, "%20");
  UrlHandle u(curl_url(), curl_url_cleanup);
  if (!u || curl_url_set(u.get(), CURLUPART_URL, address.c_str(),
                         CURLU_PATH_AS_IS | CURLU_NON_SUPPORT_SCHEME) != CURLUE_OK)
    return std::nullopt;
  auto url = urlPart(u.get(), CURLUPART_URL);
  auto scheme = urlPart(u.get(), CURLUPART_SCHEME);
  auto path = urlPart(u.get(), CURLUPART_PATH);
  if (!url || !scheme || !path) return std::nullopt;
  Target t{*url, *scheme, *path};
  if (auto query = urlPart(u.get(), CURLUPART_QUERY)) t.pathAndQuery += "?" + *query;
  return t;
}

// A Location joined to the address it answered, byte for byte: libcurl's own joining of a
// relative Location would percent-encode its GBK bytes. Dot segments stay for the server.
std::string joined(const Target& base, std::string location) {
  location.erase(std::min(location.find('#'), location.size()));
  const std::size_t schemeEnd = location.find_first_not_of(
      "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789+-.");
  const bool absolute = schemeEnd > 0 && schemeEnd != std::string::npos &&
                        location[schemeEnd] == ':' &&
                        std::isalpha(static_cast<unsigned char>(location[0]));
  if (location.empty() || absolute) return location;
  const std::string& url = base.url;  // libcurl's form: scheme://authority/path[?query]
  const std::size_t authority = url.find("://") + 3;
  const std::string origin = url.substr(0, url.find('/', authority));
  const std::string path = url.substr(origin.size(), url.find('?', origin.size()) - origin.size());
  if (location.compare(0, 2, "//") == 0) return base.scheme + ":" + location;
  if (location[0] == '/') return origin + location;
  if (location[0] == '?') return origin + path + location;
  return origin + path.substr(0, path.rfind('/') + 1) + location;
}

// Whether an http address goes through an HTTP proxy from the environment (libcurl's own
// choice of variables). libcurl then writes the whole address into the request line itself,
// and keeps its bytes raw there; a direct request needs the raw target set by hand, since
// libcurl percent-encodes bytes of 0x80 and above in the path it sends to a server.
bool httpProxyInUse() {
  const char* proxy = std::getenv("http_proxy");
  if (!proxy) proxy = std::getenv("all_proxy");
  if (!proxy) proxy = std::getenv("ALL_PROXY");
  if (!proxy || !*proxy) return false;
  const char* noProxy = std::getenv("no_proxy");
  if (!noProxy) noProxy = std::getenv("NO_PROXY");
  if (noProxy && std::strcmp(noProxy, "*") == 0) return false;
  return strncasecmp(proxy, "socks", 5) != 0;
}

struct Hop {
  CURL* curl;
  std::size_t cap;
  std::string body;
  bool overCap = false;
  std::optional<bool> redirecting;
};

// The Location of the 3xx answer of the last request, if it has one.
std::optional<std::string> redirectLocation(CURL* curl) {
  long status = 0;
  curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
  if (status < 300 || status > 399) return std::nullopt;
  curl_header* location = nullptr;
  if (curl_easy_header(curl, "Location", 0, CURLH_HEADER, -1, &location) != CURLHE_OK ||
      !*location->value)
    return std::nullopt;
  return std::string(location->value);
}

size_t onBody(char* data, size_t size, size_t count, void* user) {
  Hop& hop = *static_cast<Hop*>(user);
  const size_t n = size * count;
  // A redirect's own body is of no use: stop reading it, the Location is known.
  if (!hop.redirecting) hop.redirecting = redirectLocation(hop.curl).has_value();
  if (*hop.redirecting) return 0;
  // Counted here: libcurl's own size limit only sees a declared Content-Length.
  if (n > hop.cap - hop.body.size()) {
    hop.overCap = true;
    return 0;
  }
  hop.body.append(data, n);
  return n;
}

CURLcode perform(const Client& c, const Target& t, long timeoutMs, Hop& hop) {
  CURL* curl = c.curl;
  curl_easy_reset(curl);
  curl_easy_setopt(curl, CURLOPT_URL, t.url.c_str());
  curl_easy_setopt(curl, CURLOPT_PATH_AS_IS, 1L);
  if (t.scheme != "http" || !httpProxyInUse())
    curl_easy_setopt(curl, CURLOPT_REQUEST_TARGET, t.pathAndQuery.c_str());
  curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(curl, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_0));
  curl_easy_setopt(curl, CURLOPT_USERAGENT, UserAgent);
  curl_easy_setopt(curl, CURLOPT_HTTPHEADER, c.headers);
  // Redirects are followed by hand, one hop per transfer, since the raw request target set
  // above would otherwise be sent to every host on the way.
  curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 0L);
  curl_easy_setopt(curl, CURLOPT_FORBID_REUSE, 1L);
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, limits.connectTimeoutMs);
  curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
  curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, (limits.stallTimeoutMs + 999) / 1000);
  curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, timeoutMs);
  curl_easy_setopt(curl, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(hop.cap));
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, onBody);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &hop);
  return curl_easy_perform(curl);
}

}  // namespace

void httpSetLimits(const HttpLimits& newLimits) {
  limits = newLimits;
}

std::string httpGetBytes(const std::string& address) {
  if (address.empty()) return {};
  const Client* c = client();
  if (!c) return {};
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(limits.totalTimeoutMs);
  std::optional<Target> target = resolve(address);
  for (int redirects = 0; target; ++redirects) {
    if (target->scheme != "http" && target->scheme != "https") return {};
    const long left = static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                            deadline - std::chrono::steady_clock::now())
                                            .count());
    if (left <= 0) return {};
    Hop hop{c->curl, limits.maxBodyBytes, {}, false, std::nullopt};
    const CURLcode rc = perform(*c, *target, left, hop);
    if (auto location = redirectLocation(c->curl)) {
      if (redirects >= limits.maxRedirects) return {};
      target = resolve(joined(*target, *location));
      continue;
    }
    if (hop.overCap || rc == CURLE_FILESIZE_EXCEEDED) return {};
    // A transfer that broke off yields what arrived; one that never started yields nothing.
    return hop.body;
  }
  return {};
}

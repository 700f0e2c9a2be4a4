#pragma once
#include <cstddef>
#include <string>

// GET of address over HTTP/1.0 (or https); yields the body whatever the status, what arrived
// when the transfer broke off, or nothing when the request could not be sent.
//
// The address is cut before its first "#" and otherwise sent as written: bytes of 0x80 and
// above (GBK file names) go out raw, only a space becomes "%20" since a request line cannot
// carry it. Redirects are followed (http and https only), proxies come from the usual
// environment variables.
std::string httpGetBytes(const std::string& address);

// The fetch blocks the one UI thread, so a silent or endless server must not hold it for
// long nor fill the memory. Tests shorten these; the program keeps the defaults.
struct HttpLimits {
  long connectTimeoutMs = 5000;  // TCP connect and TLS handshake
  long stallTimeoutMs = 5000;    // no byte at all for this long ends the fetch (whole seconds)
  long totalTimeoutMs = 30000;   // the whole fetch, redirects included
  std::size_t maxBodyBytes = std::size_t{16} << 20;  // a larger body yields nothing
  int maxRedirects = 5;
};

void httpSetLimits(const HttpLimits& limits);

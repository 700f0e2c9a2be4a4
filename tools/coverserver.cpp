// bookaudit-coverserver DIR PORT: serves the files of DIR over HTTP on 127.0.0.1:PORT (0: a
// free port) until SIGINT, SIGTERM or SIGHUP; the demo and the benchmarks take their covers
// from it. It prints one line once it listens: "serving DIR at http://127.0.0.1:PORT/".
#include <pthread.h>
#include <signal.h>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

#include "cover_folder.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s DIR PORT\n", argv[0]);
    return 2;
  }
  auto handler = folderHandler(argv[1]);
  if (!handler) {
    std::fprintf(stderr, "%s: %s is not a folder\n", argv[0], argv[1]);
    return 2;
  }
  char* end = nullptr;
  const long port = std::strtol(argv[2], &end, 10);
  if (!*argv[2] || *end || port < 0 || port > 65535) {
    std::fprintf(stderr, "%s: bad port %s\n", argv[0], argv[2]);
    return 2;
  }

  // The server's threads inherit this mask, so the signals wait for sigwait below.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  sigaddset(&stopSignals, SIGHUP);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

  try {
    HttpServer server(static_cast<std::uint16_t>(port));
    server.setFallback(*handler);
    std::printf("serving %s at %s\n", argv[1], server.url("/").c_str());
    std::fflush(stdout);
    int signal = 0;
    sigwait(&stopSignals, &signal);
    server.stop();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s: %s\n", argv[0], e.what());
    return 1;
  }
  return 0;
}

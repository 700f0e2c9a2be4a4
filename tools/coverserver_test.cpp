// The cover server's folder handler on a real server, fetched by the program's own client:
// file names are bytes, and nothing outside the folder comes out.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "cover_folder.h"
#include "platform/http.h"
#include "support/http_server.h"

namespace {

namespace fs = std::filesystem;

void write(const fs::path& file, const std::string& bytes) {
  std::ofstream(file, std::ios::binary) << bytes;
}

TEST(CoverFolder, ServesFilesByTheirBytesAndNothingOutside) {
  std::string base = testing::TempDir() + "coverfolder.XXXXXX";
  ASSERT_TRUE(mkdtemp(base.data()));
  const fs::path top(base), root = top / "covers";
  fs::create_directories(root / "Cover" / "sub");
  write(root / "Cover" / "\xD6\xD0\xCE\xC4.jpg", "gbk jpeg");
  write(root / "Cover" / "sub" / "b.gif", "GIF89a");
  write(top / "secret.txt", "outside");
  fs::create_symlink("sub/b.gif", root / "Cover" / "inside.gif");
  fs::create_symlink("../../secret.txt", root / "Cover" / "outside.jpg");

  auto handler = folderHandler(root.string() + "/");
  ASSERT_TRUE(handler);
  HttpServer server;
  server.setFallback(*handler);
  const struct {
    std::string target;
    std::string body;
  } cases[] = {
      {"/Cover/\xD6\xD0\xCE\xC4.jpg", "gbk jpeg"},  // raw, as the program sends it
      {"/Cover/%D6%d0%CE%C4.jpg?v=2", "gbk jpeg"},  // encoded, as a browser sends it
      {"/Cover/sub/b.gif", "GIF89a"},
      {"/Cover/inside.gif", "GIF89a"},
      {"/Cover/outside.jpg", "forbidden\n"},  // a link out of the folder
      {"/Cover/../../secret.txt", "forbidden\n"},
      {"/Cover/%2e%2e/%2E%2E/secret.txt", "forbidden\n"},
      {"/Cover/sub/..", "forbidden\n"},
      {"/Cover/sub", "not found\n"},
      {"/", "not found\n"},
      {"/Cover/missing.jpg", "not found\n"},
      {"/Cover/a%00.jpg", "bad request\n"},
  };
  for (const auto& c : cases) EXPECT_EQ(httpGetBytes(server.url(c.target)), c.body) << c.target;
  server.stop();
  fs::remove_all(top);
}

TEST(CoverFolder, RefusesWhatIsNoFolder) {
  EXPECT_FALSE(folderHandler(testing::TempDir() + "no-such-folder-" + std::to_string(getpid())));
  EXPECT_FALSE(folderHandler("/proc/self/status"));
  EXPECT_TRUE(folderHandler(testing::TempDir()));
}

}  // namespace

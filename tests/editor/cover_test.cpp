// The cover picture and the download link, with covers served by a real HTTP server on
// 127.0.0.1.
#include <QImage>
#include <QTest>
#include <QWidget>

#include "fuzz/picture_samples.h"
#include "platform/desktop.h"
#include "platform/http.h"
#include "platform/toolkit.h"
#include "record_fixture.h"
#include "support/http_server.h"

namespace {

constexpr const char* kBox = "图片框1";

class CoverTest : public AppTest {
 protected:
  void SetUp() override {
    AppTest::SetUp();
    setOpenInBrowserSeam([this](const Text& a) { opened.push_back(a); });
    setClipboardSeam([this](const Text& t) { clipboard.push_back(t); });
    cover.route("/Cover/quadrants.jpg", HttpReply(200, writeJpeg(quadrantPicture())));
    cover.route("/Cover/error.jpg", HttpReply(404, "<html><body>404 Not Found</body></html>",
                                              {"Content-Type: text/html"}));
    cover.route("/Cover/garbage.jpg", HttpReply(200, std::string(5000, '\x17')));
    cover.route("/Cover/short.jpg", HttpReply(200, "\xFF\xD8\xFF"));
    cover.route("/Cover/truncated.jpg",
                HttpReply(200, writeJpeg(quadrantPicture()).substr(0, 200)));
    cover.route("/Cover/hang.jpg", HttpReply::silent());
    cover.route("/Cover/endless.jpg", HttpReply::endless());
    cover.route("/Cover/loop.jpg", HttpReply::redirect("/Cover/loop.jpg"));
    GifPicture gif;
    gif.width = 4;
    gif.height = 4;
    gif.colours = {qRgb(255, 0, 0), qRgb(0, 0, 255)};
    gif.frames = {solidGifFrame(0, 0, 4, 4, 0), solidGifFrame(0, 0, 4, 4, 1)};
    gif.frames[0].delayCs = 10;
    gif.frames[1].delayCs = 10;
    cover.route("/Cover/two.gif", HttpReply(200, writeGif(gif)));
    // Short limits, so the drills of a hostile server take a second, not five.
    HttpLimits limits;
    limits.connectTimeoutMs = 1000;
    limits.stallTimeoutMs = 1000;
    limits.totalTimeoutMs = 3000;
    limits.maxBodyBytes = 1 << 20;
    httpSetLimits(limits);
  }
  void TearDown() override {
    httpSetLimits(HttpLimits());
    AppTest::TearDown();
  }

  // Shows a record whose stored cover address is `address`.
  void showCover(const std::string& address, int did = 1) {
    Record r = sampleRecord(did);
    r[kCover] = address;
    showInGrid({r});
  }

  QImage boxImage() { return static_cast<QWidget*>(controlWidget(kBox))->grab().toImage(); }

  HttpServer cover;
  std::vector<Text> opened, clipboard;
};

bool near(QRgb a, QRgb b) {
  return std::abs(qRed(a) - qRed(b)) < 40 && std::abs(qGreen(a) - qGreen(b)) < 40 &&
         std::abs(qBlue(a) - qBlue(b)) < 40;
}

TEST_F(CoverTest, ShowingARecordFetchesItsStoredCoverStretchedToTheBox) {
  showCover(cover.url("/Cover/quadrants.jpg#frag"));
  ASSERT_EQ(cover.requestCount(), 1u);
  EXPECT_EQ(cover.requests()[0].target, "/Cover/quadrants.jpg");
  ASSERT_TRUE(pictureShown(kBox));
  QImage shown = boxImage();
  ASSERT_EQ(shown.size(), QSize(168, 232));
  // Each quadrant fills a quarter of the box: stretched both ways, proportions not kept.
  EXPECT_TRUE(near(shown.pixel(20, 20), kQuadrantColours[0]));
  EXPECT_TRUE(near(shown.pixel(148, 20), kQuadrantColours[1]));
  EXPECT_TRUE(near(shown.pixel(20, 212), kQuadrantColours[2]));
  EXPECT_TRUE(near(shown.pixel(148, 212), kQuadrantColours[3]));
}

// Whatever the server does, the previous record's cover is gone and the box is empty.
TEST_F(CoverTest, AnythingButAPictureLeavesTheBoxEmpty) {
  const std::string cases[] = {
      cover.url("/Cover/error.jpg"),
      cover.url("/Cover/garbage.jpg"),
      cover.url("/Cover/short.jpg"),
      cover.url("/Cover/truncated.jpg"),
      cover.url("/Cover/hang.jpg"),
      cover.url("/Cover/endless.jpg"),
      cover.url("/Cover/loop.jpg"),
      "http://127.0.0.1:1/Cover/refused.jpg",
      "not an address",
      "file:///etc/passwd",
  };
  for (const std::string& address : cases) {
    showCover(cover.url("/Cover/quadrants.jpg"));
    ASSERT_TRUE(pictureShown(kBox));
    showCover(address, 2);
    EXPECT_FALSE(pictureShown(kBox)) << address;
  }
}

TEST_F(CoverTest, AnEmptyCoverCellClearsThePictureWithoutTraffic) {
  showCover(cover.url("/Cover/quadrants.jpg"));
  ASSERT_TRUE(pictureShown(kBox));
  size_t before = cover.requestCount();
  showCover("");
  EXPECT_FALSE(pictureShown(kBox));
  EXPECT_EQ(cover.requestCount(), before);
}

TEST_F(CoverTest, AGifCoverPlays) {
  showCover(cover.url("/Cover/two.gif"));
  ASSERT_EQ(pictureFrameCount(kBox), 2);
  QRgb first = boxImage().pixel(84, 116);
  QRgb later = first;
  for (int i = 0; i < 20 && later == first; ++i) {
    QTest::qWait(50);
    later = boxImage().pixel(84, 116);
  }
  EXPECT_NE(later, first);
  EXPECT_TRUE(near(first, qRgb(255, 0, 0)) || near(first, qRgb(0, 0, 255)));
}

TEST_F(CoverTest, TheLinkOpensTheDownloadAddressAndCopiesThePassword) {
  Record r = sampleRecord(5);
  r[kDownload] = "http://pan.example.com/s/1a2b3c";
  r[kPassWord] = "ab12";
  showInGrid({r});
  auto* link = static_cast<QWidget*>(controlWidget("超级链接框1"));
  QTest::mousePress(link, Qt::LeftButton, {}, QPoint(3, 3));
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_EQ(opened[0], "http://pan.example.com/s/1a2b3c");
  ASSERT_EQ(clipboard.size(), 1u);
  EXPECT_EQ(clipboard[0], "ab12");
  // An empty password box puts an empty text on the clipboard.
  setControlText("编辑框10", "");
  QTest::mousePress(link, Qt::LeftButton, {}, QPoint(3, 3));
  ASSERT_EQ(clipboard.size(), 2u);
  EXPECT_EQ(clipboard[1], "");
}

}  // namespace

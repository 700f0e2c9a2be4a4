// Draws the cover pictures of the demo records, so that the demo's cover server has something
// to serve. For every row of the demo SQL file whose Cover column is an address under /Cover/,
// it writes OUTDIR/Cover/<file name of that address>: a JPEG, or what the row's
// "-- cover: KIND" comment asks for (an animated GIF, a BMP, or no file at all).
//
//   bookaudit-democovers OUTDIR [DEMO-SQL]     (DEMO-SQL defaults to the source tree's copy)
//
// Runs without a display: the offscreen platform unless QT_QPA_PLATFORM says otherwise.

#include <gif_lib.h>

#include <QColor>
#include <QDir>
#include <QFile>
#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QRandomGenerator>
#include <QString>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr int kWidth = 300;
constexpr int kHeight = 420;
constexpr int kGifFrames = 4;
constexpr int kGifDelayCs = 50;  // hundredths of a second per frame

enum class CoverKind { Jpeg, AnimatedGif, Bmp, None };

using Value = std::optional<std::string>;  // nullopt is SQL NULL

struct DemoRow {
  std::map<std::string, Value> fields;  // by column name
  CoverKind kind = CoverKind::Jpeg;
  int line = 0;

  std::string text(const std::string& column) const {
    auto it = fields.find(column);
    return it == fields.end() || !it->second ? std::string() : *it->second;
  }
};

// ---- Reading the demo SQL: INSERT statements with a column list and rows of literals.

bool equalsIgnoreCase(const std::string& a, const char* b) {
  size_t i = 0;
  for (; i < a.size() && b[i]; ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  return i == a.size() && !b[i];
}

class SqlReader {
 public:
  explicit SqlReader(std::string sql) : s_(std::move(sql)) {}

  bool read(std::vector<DemoRow>& rows) {
    std::vector<std::string> columns;
    bool inValues = false;
    CoverKind pending = CoverKind::Jpeg;
    while (i_ < s_.size()) {
      const char c = s_[i_];
      if (std::isspace(static_cast<unsigned char>(c))) {
        advance();
      } else if (s_.compare(i_, 2, "--") == 0) {
        if (!readComment(pending)) return false;
      } else if (c == ';') {
        inValues = false;
        advance();
      } else if (c == '(') {
        const int line = line_;
        advance();
        std::vector<Value> group;
        if (!readGroup(group)) return false;
        if (!inValues) {
          columns.clear();
          for (const Value& v : group) columns.push_back(v.value_or(""));
          continue;
        }
        if (group.size() != columns.size())
          return fail(line, "a row has " + std::to_string(group.size()) + " values for " +
                                std::to_string(columns.size()) + " columns");
        DemoRow row;
        for (size_t k = 0; k < columns.size(); ++k) row.fields[columns[k]] = group[k];
        row.kind = pending;
        row.line = line;
        rows.push_back(std::move(row));
        pending = CoverKind::Jpeg;
      } else if (std::isalpha(static_cast<unsigned char>(c))) {
        if (equalsIgnoreCase(readBare(), "VALUES")) inValues = true;
      } else {
        advance();
      }
    }
    return true;
  }

  const std::string& error() const { return error_; }

 private:
  void advance() {
    if (s_[i_] == '\n') ++line_;
    ++i_;
  }

  bool fail(int line, const std::string& what) {
    error_ = "line " + std::to_string(line) + ": " + what;
    return false;
  }

  // "-- cover: gif" sets the kind of the next row; other comments are skipped.
  bool readComment(CoverKind& pending) {
    size_t eol = s_.find('\n', i_);
    if (eol == std::string::npos) eol = s_.size();
    std::istringstream words(s_.substr(i_ + 2, eol - i_ - 2));
    std::string key, kind;
    words >> key >> kind;
    if (key == "cover:") {
      if (kind == "jpg")
        pending = CoverKind::Jpeg;
      else if (kind == "gif")
        pending = CoverKind::AnimatedGif;
      else if (kind == "bmp")
        pending = CoverKind::Bmp;
      else if (kind == "none")
        pending = CoverKind::None;
      else
        return fail(line_, "unknown cover kind \"" + kind + "\"");
    }
    i_ = eol;
    return true;
  }

  std::string readBare() {
    const size_t start = i_;
    while (i_ < s_.size() && !std::isspace(static_cast<unsigned char>(s_[i_])) && s_[i_] != ',' &&
           s_[i_] != ')' && s_[i_] != '(' && s_[i_] != ';')
      ++i_;
    return s_.substr(start, i_ - start);
  }

  // A quoted literal in the server's default syntax: backslash escapes, and '' for a quote.
  bool readQuoted(std::string& out) {
    const char quote = s_[i_];
    const int line = line_;
    advance();
    while (i_ < s_.size()) {
      char c = s_[i_];
      advance();
      if (c == quote) {
        if (i_ < s_.size() && s_[i_] == quote) {
          out += quote;
          advance();
          continue;
        }
        return true;
      }
      if (c == '\\' && quote != '`' && i_ < s_.size()) {
        char e = s_[i_];
        advance();
        switch (e) {
          case '0':
            out += '\0';
            break;
          case 'b':
            out += '\b';
            break;
          case 'n':
            out += '\n';
            break;
          case 'r':
            out += '\r';
            break;
          case 't':
            out += '\t';
            break;
          case 'Z':
            out += '\x1a';
            break;
          case '%':
          case '_':
            out += '\\';
            out += e;
            break;
          default:
            out += e;
            break;
        }
        continue;
      }
      out += c;
    }
    return fail(line, "unterminated quoted text");
  }

  // The values of one parenthesised list, after its "(" up to and past its ")".
  bool readGroup(std::vector<Value>& values) {
    bool expectValue = true;
    while (i_ < s_.size()) {
      const char c = s_[i_];
      if (std::isspace(static_cast<unsigned char>(c))) {
        advance();
      } else if (c == ')') {
        advance();
        return true;
      } else if (c == ',') {
        if (expectValue) return fail(line_, "empty value");
        expectValue = true;
        advance();
      } else if (!expectValue) {
        return fail(line_, "missing comma");
      } else if (c == '\'' || c == '"' || c == '`') {
        std::string text;
        if (!readQuoted(text)) return false;
        values.emplace_back(std::move(text));
        expectValue = false;
      } else {
        std::string word = readBare();
        if (word.empty()) return fail(line_, std::string("unexpected \"") + c + "\"");
        if (equalsIgnoreCase(word, "NULL"))
          values.emplace_back(std::nullopt);
        else
          values.emplace_back(std::move(word));
        expectValue = false;
      }
    }
    return fail(line_, "unterminated list");
  }

  std::string s_;
  size_t i_ = 0;
  int line_ = 1;
  std::string error_;
};

// ---- Drawing

QString fromUtf8(const std::string& s) {
  return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

QFont coverFont(int pixelSize, bool bold) {
  QFont font(QStringLiteral("WenQuanYi Zen Hei"));
  font.setPixelSize(pixelSize);
  font.setBold(bold);
  return font;
}

// The largest size, from `largest` down to `smallest`, at which the text fits the box wrapped.
QFont fittingFont(const QString& text, const QRect& box, int largest, int smallest, bool bold) {
  for (int size = largest; size > smallest; size -= 2) {
    QFont font = coverFont(size, bold);
    QRect needed = QFontMetrics(font).boundingRect(box, Qt::AlignCenter | Qt::TextWordWrap, text);
    if (needed.height() <= box.height() && needed.width() <= box.width()) return font;
  }
  return coverFont(smallest, bold);
}

// A plain book cover in a colour of its own (from the ISBN, so it stays the same from run to
// run): title in large type, author beneath, publisher and ISBN at the foot.
// `frame` >= 0 adds the twinkling stars of an animated cover.
QImage drawCover(const DemoRow& row, int frame) {
  const QString isbn = fromUtf8(row.text("ISBN"));
  const QString title = fromUtf8(row.text("BookName"));
  const QString author = fromUtf8(row.text("Author"));
  const QString publisher = fromUtf8(row.text("Publishing"));
  const int hue = static_cast<int>(qHash(isbn) % 360);

  QImage image(kWidth, kHeight, QImage::Format_RGB32);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  p.setRenderHint(QPainter::TextAntialiasing);
  const QColor background = frame >= 0 ? QColor(14, 20, 52) : QColor::fromHsv(hue, 110, 200);
  p.fillRect(image.rect(), background);

  if (frame >= 0) {
    // The same stars in every frame (seeded by the ISBN); each frame lights a different quarter.
    QRandomGenerator stars(static_cast<quint32>(qHash(isbn)));
    for (int k = 0; k < 90; ++k) {
      const QPointF at(stars.bounded(kWidth), stars.bounded(kHeight));
      const bool lit = k % kGifFrames == frame;
      p.setPen(Qt::NoPen);
      p.setBrush(lit ? QColor(255, 250, 210) : QColor(120, 130, 170));
      p.drawEllipse(at, lit ? 2.6 : 1.2, lit ? 2.6 : 1.2);
    }
    // A planet crossing below the author's name.
    p.setBrush(QColor(220, 140, 60));
    p.drawEllipse(QPointF(50 + frame * 66, 328), 12, 12);
  }

  // Bands at the head and the foot of the cover.
  const QColor band = frame >= 0 ? QColor(200, 170, 60) : QColor::fromHsv(hue, 160, 110);
  p.fillRect(0, 0, kWidth, 14, band);
  p.fillRect(0, kHeight - 64, kWidth, 64, band);
  p.setPen(QPen(QColor(255, 255, 255, 160), 2));
  p.setBrush(Qt::NoBrush);
  p.drawRect(14, 28, kWidth - 28, kHeight - 108);

  const QRect titleBox(28, 50, kWidth - 56, 200);
  p.setPen(Qt::white);
  p.setFont(fittingFont(title, titleBox, 44, 20, true));
  p.drawText(titleBox, Qt::AlignCenter | Qt::TextWordWrap, title);

  const QRect authorBox(28, 262, kWidth - 56, 60);
  p.setFont(fittingFont(author, authorBox, 24, 14, false));
  p.drawText(authorBox, Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, author);

  p.setFont(coverFont(17, false));
  p.drawText(QRect(10, kHeight - 60, kWidth - 20, 30), Qt::AlignCenter, publisher);
  p.setFont(coverFont(12, false));
  p.drawText(QRect(10, kHeight - 32, kWidth - 20, 24), Qt::AlignCenter, "ISBN " + isbn);
  p.end();
  return image;
}

// ---- Writing

ColorMapObject* colorMapOf(const QImage& indexed) {
  ColorMapObject* map = GifMakeMapObject(256, nullptr);  // the size must be a power of two
  if (!map) return nullptr;
  const QVector<QRgb> table = indexed.colorTable();
  for (int k = 0; k < 256; ++k) {
    const QRgb c = k < table.size() ? table[k] : qRgb(0, 0, 0);
    map->Colors[k] =
        GifColorType{static_cast<GifByteType>(qRed(c)), static_cast<GifByteType>(qGreen(c)),
                     static_cast<GifByteType>(qBlue(c))};
  }
  return map;
}

bool putFrame(GifFileType* gif, const QImage& indexed) {
  GraphicsControlBlock gcb{};
  gcb.DisposalMode = DISPOSE_DO_NOT;
  gcb.DelayTime = kGifDelayCs;
  gcb.TransparentColor = NO_TRANSPARENT_COLOR;
  GifByteType ext[4];
  const size_t extLength = EGifGCBToExtension(&gcb, ext);
  if (EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, static_cast<int>(extLength), ext) == GIF_ERROR)
    return false;

  ColorMapObject* local = colorMapOf(indexed);
  if (!local) return false;
  const int rc = EGifPutImageDesc(gif, 0, 0, indexed.width(), indexed.height(), false, local);
  GifFreeMapObject(local);
  if (rc == GIF_ERROR) return false;
  for (int y = 0; y < indexed.height(); ++y) {
    // giflib does not write through the pointer, it only lacks the const.
    auto* line = const_cast<GifPixelType*>(indexed.constScanLine(y));
    if (EGifPutLine(gif, line, indexed.width()) == GIF_ERROR) return false;
  }
  return true;
}

// An endlessly looping GIF89a, one local colour table per frame.
bool writeAnimatedGif(const QString& path, const std::vector<QImage>& frames) {
  std::vector<QImage> indexed;
  for (const QImage& f : frames) indexed.push_back(f.convertToFormat(QImage::Format_Indexed8));

  int error = 0;
  GifFileType* gif = EGifOpenFileName(QFile::encodeName(path).constData(), false, &error);
  if (!gif) return false;
  EGifSetGifVersion(gif, true);
  bool ok = true;
  ColorMapObject* global = colorMapOf(indexed.front());
  ok = global && EGifPutScreenDesc(gif, kWidth, kHeight, 8, 0, global) != GIF_ERROR;
  GifFreeMapObject(global);

  // The NETSCAPE2.0 application block: loop count 0, for ever.
  static const GifByteType appId[] = {'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0'};
  static const GifByteType loop[] = {1, 0, 0};
  ok = ok && EGifPutExtensionLeader(gif, APPLICATION_EXT_FUNC_CODE) != GIF_ERROR &&
       EGifPutExtensionBlock(gif, sizeof appId, appId) != GIF_ERROR &&
       EGifPutExtensionBlock(gif, sizeof loop, loop) != GIF_ERROR &&
       EGifPutExtensionTrailer(gif) != GIF_ERROR;

  for (const QImage& f : indexed) ok = ok && putFrame(gif, f);
  if (EGifCloseFile(gif, &error) == GIF_ERROR) ok = false;
  return ok;
}

bool writeCover(const DemoRow& row, const QString& path) {
  switch (row.kind) {
    case CoverKind::None:
      QFile::remove(path);
      return true;
    case CoverKind::Bmp:
      return drawCover(row, -1).save(path, "BMP");
    case CoverKind::AnimatedGif: {
      std::vector<QImage> frames;
      for (int f = 0; f < kGifFrames; ++f) frames.push_back(drawCover(row, f));
      return writeAnimatedGif(path, frames);
    }
    case CoverKind::Jpeg:
      break;
  }
  return drawCover(row, -1).save(path, "JPG", 85);
}

// The file name of a cover address ".../Cover/NAME", or nothing for any other text.
std::optional<QString> coverFileName(const std::string& address) {
  static const std::string marker = "/Cover/";
  const size_t at = address.rfind(marker);
  if (at == std::string::npos) return std::nullopt;
  const std::string name = address.substr(at + marker.size());
  if (name.empty() || name.find('/') != std::string::npos || name == "." || name == "..")
    return std::nullopt;
  return fromUtf8(name);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3) {
    std::fprintf(stderr, "usage: %s OUTDIR [DEMO-SQL]\n", argv[0]);
    return 2;
  }
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QGuiApplication app(argc, argv);

  const char* sqlPath = argc == 3 ? argv[2] : BOOKAUDIT_DEMO_SQL;
  std::ifstream in(sqlPath, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "cannot read %s\n", sqlPath);
    return 1;
  }
  std::ostringstream sql;
  sql << in.rdbuf();
  std::vector<DemoRow> rows;
  SqlReader reader(sql.str());
  if (!reader.read(rows)) {
    std::fprintf(stderr, "%s: %s\n", sqlPath, reader.error().c_str());
    return 1;
  }

  const QDir coverDir(QFile::decodeName(argv[1]) + "/Cover");
  if (!QDir().mkpath(coverDir.path())) {
    std::fprintf(stderr, "cannot create %s\n", qPrintable(coverDir.path()));
    return 1;
  }
  int written = 0;
  for (const DemoRow& row : rows) {
    const std::optional<QString> name = coverFileName(row.text("Cover"));
    if (!name) continue;
    const QString path = coverDir.filePath(*name);
    if (!writeCover(row, path)) {
      std::fprintf(stderr, "%s: cannot write the cover of line %d\n", qPrintable(path), row.line);
      return 1;
    }
    if (row.kind != CoverKind::None) ++written;
  }
  std::printf("%d covers in %s\n", written, qPrintable(coverDir.path()));
  return 0;
}

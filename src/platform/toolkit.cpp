#include "platform/toolkit.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QPixmapCache>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QStyleFactory>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QTimer>
#include <limits>
#include <map>
#include <memory>
#include <string_view>

#include "platform/gbk.h"
#include "platform/picture.h"

namespace {

// The outer size of the window is 900 x 695; the client area leaves room for a frame of 3 and
// a title bar of 26 pixels, as the controls' places were laid out for.
constexpr int kOuterWidth = 900;
constexpr int kOuterHeight = 695;
constexpr int kClientWidth = 894;
constexpr int kClientHeight = 666;

constexpr int kEventKinds = 7;

struct Control {
  ControlKind kind;
  std::string name;
  unsigned style = 0;
  QWidget* widget = nullptr;
  // The Text the control holds, and what the widget itself read back right after it was
  // given that Text: while the widget still reads the same, the bytes are handed back as
  // they came, whatever the widget did to show them.
  Text bytes;
  QString readBack;
  QString lastAccepted;  // the operator's last text that GBK can hold
  std::vector<Text> items;
  std::vector<const Binding*> bindings[kEventKinds];
  bool inTextChanged = false;
  bool writing = false;  // a write by an action is under way: the widget's signals are ours
};

class GridModel;

struct WindowState {
  QWidget* window = nullptr;
  std::map<std::string, std::unique_ptr<Control>, std::less<>> controls;
  std::vector<const Binding*> createdBindings;
  bool creating = false;
  bool gridQuiet = false;  // no grid event while the grid is emptied or set by an action
  Text caption;
  int keyCode = 0, modifiers = 0, x = 0, y = 0;
};

WindowState* win = nullptr;
MessageBoxSeam messageSeam;

Control* find(const char* name) {
  if (!win || !name) return nullptr;
  auto it = win->controls.find(std::string_view(name));
  return it == win->controls.end() ? nullptr : it->second.get();
}

void raiseEvent(Control* c, Event e) {
  if (!win || win->creating || !c) return;
  // Copy: an action may change nothing here, but a nested event must not invalidate this loop.
  const auto bindings = c->bindings[static_cast<int>(e)];
  for (const Binding* b : bindings) {
    if (e == Event::KeyDown && b->keyCode >= 0 && b->keyCode != win->keyCode) continue;
    if (e == Event::TextChanged) {
      bool outer = c->inTextChanged;
      c->inTextChanged = true;
      b->action();
      c->inTextChanged = outer;
    } else {
      b->action();
    }
  }
}

int modifierState(Qt::KeyboardModifiers m) {
  return (m & Qt::ControlModifier ? 1 : 0) | (m & Qt::ShiftModifier ? 2 : 0) |
         (m & Qt::AltModifier ? 4 : 0);
}

// The platform's virtual-key code of a key; the keypad's digits, minus, point and slash give
// the codes of the main keyboard's keys.
int virtualKeyCode(const QKeyEvent* e) {
  int k = e->key();
  if ((k >= Qt::Key_0 && k <= Qt::Key_9) || (k >= Qt::Key_A && k <= Qt::Key_Z)) return k;
  if (k >= Qt::Key_F1 && k <= Qt::Key_F24) return 0x70 + (k - Qt::Key_F1);
  static const std::map<int, int> codes = {
      {Qt::Key_Backspace, 0x08},   {Qt::Key_Tab, 0x09},       {Qt::Key_Backtab, 0x09},
      {Qt::Key_Return, 0x0D},      {Qt::Key_Enter, 0x0D},     {Qt::Key_Shift, 0x10},
      {Qt::Key_Control, 0x11},     {Qt::Key_Alt, 0x12},       {Qt::Key_Pause, 0x13},
      {Qt::Key_CapsLock, 0x14},    {Qt::Key_Escape, 0x1B},    {Qt::Key_Space, 0x20},
      {Qt::Key_PageUp, 0x21},      {Qt::Key_PageDown, 0x22},  {Qt::Key_End, 0x23},
      {Qt::Key_Home, 0x24},        {Qt::Key_Left, 0x25},      {Qt::Key_Up, 0x26},
      {Qt::Key_Right, 0x27},       {Qt::Key_Down, 0x28},      {Qt::Key_Insert, 0x2D},
      {Qt::Key_Delete, 0x2E},      {Qt::Key_Semicolon, 0xBA}, {Qt::Key_Equal, 0xBB},
      {Qt::Key_Plus, 0xBB},        {Qt::Key_Comma, 0xBC},     {Qt::Key_Minus, 0xBD},
      {Qt::Key_Period, 0xBE},      {Qt::Key_Slash, 0xBF},     {Qt::Key_QuoteLeft, 0xC0},
      {Qt::Key_BracketLeft, 0xDB}, {Qt::Key_Backslash, 0xDC}, {Qt::Key_BracketRight, 0xDD},
      {Qt::Key_Apostrophe, 0xDE},  {Qt::Key_Asterisk, 0x6A},
  };
  auto it = codes.find(k);
  return it == codes.end() ? 0 : it->second;
}

// Operator input: a text GBK cannot hold is refused whole and the box goes back to the
// operator's last good text.
bool acceptTyped(Control* c, const QString& text) {
  if (encodeGbk(text)) {
    c->lastAccepted = text;
    return true;
  }
  return false;
}

void refuseTyped() {
  messageBox(gbk("输入的字符不能用GBK编码保存，已取消这次输入。"), MbOk);
}

// What may be typed into an ISBN box: the ASCII digits and "-".
bool isbnCharacter(QChar ch) {
  return (ch >= QChar('0') && ch <= QChar('9')) || ch == QChar('-');
}

bool keyDown(Control* c, QKeyEvent* e) {
  win->keyCode = virtualKeyCode(e);
  win->modifiers = modifierState(e->modifiers());
  raiseEvent(c, Event::KeyDown);
  // Only digits and "-" may be typed into an ISBN box; control keys work as usual.
  if (c->style & DigitsAndHyphen) {
    const QString t = e->text();
    if (t.size() == 1 && t[0].isPrint() && !isbnCharacter(t[0])) return false;
  }
  return true;
}

class EditBox : public QLineEdit {
 public:
  EditBox(Control* c, QWidget* parent) : QLineEdit(parent), c_(c) {
    // No length limit: Qt's default of 32767 characters would cut a long paste silently.
    setMaxLength(std::numeric_limits<int>::max());
    connect(this, &QLineEdit::textEdited, this, [this](const QString& text) {
      if (!acceptTyped(c_, text)) {
        int pos = cursorPosition();
        setText(c_->lastAccepted);
        setCursorPosition(std::min<int>(pos, c_->lastAccepted.size()));
        refuseTyped();
        return;
      }
      raiseEvent(c_, Event::TextChanged);
    });
  }

 protected:
  void keyPressEvent(QKeyEvent* e) override {
    if (keyDown(c_, e)) QLineEdit::keyPressEvent(e);
  }
  void inputMethodEvent(QInputMethodEvent* e) override {
    if (c_->style & DigitsAndHyphen) {
      for (QChar ch : e->commitString())
        if (!isbnCharacter(ch)) {
          QInputMethodEvent empty;
          QLineEdit::inputMethodEvent(&empty);
          return;
        }
    }
    QLineEdit::inputMethodEvent(e);
  }

 private:
  Control* c_;
};

class MultiLineBox : public QPlainTextEdit {
 public:
  MultiLineBox(Control* c, QWidget* parent) : QPlainTextEdit(parent), c_(c) {
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    connect(this, &QPlainTextEdit::textChanged, this, [this] {
      if (c_->writing) return;
      const QString text = toPlainText();
      if (text == c_->lastAccepted) return;
      if (!acceptTyped(c_, text)) {
        c_->writing = true;
        setPlainText(c_->lastAccepted);
        moveCursor(QTextCursor::End);
        c_->writing = false;
        refuseTyped();
        return;
      }
      raiseEvent(c_, Event::TextChanged);
    });
  }

 protected:
  void keyPressEvent(QKeyEvent* e) override {
    if (keyDown(c_, e)) QPlainTextEdit::keyPressEvent(e);
  }

 private:
  Control* c_;
};

class ComboBox : public QComboBox {
 public:
  ComboBox(Control* c, QWidget* parent) : QComboBox(parent), c_(c) {
    setEditable(true);
    lineEdit()->setMaxLength(std::numeric_limits<int>::max());
    setInsertPolicy(QComboBox::NoInsert);
    setItemDelegate(new QStyledItemDelegate(this));
    lineEdit()->installEventFilter(this);
    connect(lineEdit(), &QLineEdit::textEdited, this, [this](const QString& text) {
      if (!acceptTyped(c_, text)) {
        lineEdit()->setText(c_->lastAccepted);
        refuseTyped();
      }
    });
    connect(this, &QComboBox::activated, this, [this](int index) {
      if (index < 0 || index >= static_cast<int>(c_->items.size())) return;
      c_->bytes = c_->items[index];
      c_->readBack = lineEdit()->text();
      c_->lastAccepted = c_->readBack;
      raiseEvent(c_, Event::ItemPicked);
    });
  }

 protected:
  bool eventFilter(QObject* o, QEvent* e) override {
    // Enter in the edit part picks nothing: only a choice from the list is a pick.
    if (o == lineEdit() && e->type() == QEvent::KeyPress) {
      int key = static_cast<QKeyEvent*>(e)->key();
      if (key == Qt::Key_Return || key == Qt::Key_Enter) return true;
    }
    return QComboBox::eventFilter(o, e);
  }
  // A turn of the wheel over a closed list would change a record's audit win or class
  // unseen; the list changes only by a deliberate pick.
  void wheelEvent(QWheelEvent* e) override { e->ignore(); }

 private:
  Control* c_;
};

class Hyperlink : public QLabel {
 public:
  Hyperlink(Control* c, QWidget* parent) : QLabel(parent), c_(c) {
    setAlignment(Qt::AlignCenter);
    setCursor(Qt::PointingHandCursor);
    setColour(QColor(0, 0, 255));
  }

 protected:
  void mousePressEvent(QMouseEvent* e) override {
    if (e->button() == Qt::LeftButton) {
      win->x = static_cast<int>(e->position().x());
      win->y = static_cast<int>(e->position().y());
      win->modifiers = modifierState(e->modifiers());
      raiseEvent(c_, Event::LeftButtonPressed);
    }
    QLabel::mousePressEvent(e);
  }
  void enterEvent(QEnterEvent* e) override {
    setColour(palette().color(QPalette::Highlight));
    QLabel::enterEvent(e);
  }
  void leaveEvent(QEvent* e) override {
    setColour(QColor(0, 0, 255));
    QLabel::leaveEvent(e);
  }

 private:
  void setColour(const QColor& colour) {
    QPalette p = palette();
    p.setColor(QPalette::WindowText, colour);
    setPalette(p);
  }
  Control* c_;
};

// Shows frames stretched to the whole box, whatever their proportions; several frames play.
class PictureBox : public QWidget {
 public:
  explicit PictureBox(QWidget* parent) : QWidget(parent) {
    timer_.setSingleShot(true);
    QObject::connect(&timer_, &QTimer::timeout, this, [this] {
      if (frames_.empty()) return;
      current_ = (current_ + 1) % frames_.size();
      update();
      schedule();
    });
  }
  void setFrames(std::vector<PictureFrame> frames) {
    timer_.stop();
    frames_ = std::move(frames);
    current_ = 0;
    update();
    schedule();
  }
  int frameCount() const { return static_cast<int>(frames_.size()); }

 protected:
  void paintEvent(QPaintEvent*) override {
    if (frames_.empty()) return;
    QPainter p(this);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawImage(rect(), frames_[current_].image);
  }

 private:
  void schedule() {
    if (frames_.size() > 1) timer_.start(std::max(frames_[current_].delayMs, 20));
  }
  std::vector<PictureFrame> frames_;
  size_t current_ = 0;
  QTimer timer_;
};

// The grid's rows and columns as Text; cells are decoded only when drawn.
class GridModel : public QAbstractTableModel {
 public:
  struct Cell {
    Text bytes;
    mutable QString shown;
    mutable bool decoded = false;
  };

  int rowCount(const QModelIndex& parent = {}) const override {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
  }
  int columnCount(const QModelIndex& parent = {}) const override {
    return parent.isValid() ? 0 : static_cast<int>(titles_.size());
  }
  QVariant data(const QModelIndex& index, int role) const override {
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole)) return {};
    const Cell& cell = rows_[index.row()][index.column()];
    if (!cell.decoded) {
      cell.shown = decodeGbk(cell.bytes);
      cell.decoded = true;
    }
    return cell.shown;
  }
  QVariant headerData(int section, Qt::Orientation o, int role) const override {
    if (o != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= static_cast<int>(titles_.size()))
      return {};
    return decodeGbk(titles_[section]);
  }
  Qt::ItemFlags flags(const QModelIndex& index) const override {
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    // Only the first cell of a row can be edited in place; the edit is kept nowhere else.
    if (index.column() == 0) f |= Qt::ItemIsEditable;
    return f;
  }
  bool setData(const QModelIndex& index, const QVariant& value, int role) override {
    if (!index.isValid() || role != Qt::EditRole || index.column() != 0) return false;
    auto bytes = encodeGbk(value.toString());
    if (!bytes) {
      refuseTyped();
      return false;
    }
    setCell(index.row(), index.column(), *bytes);
    return true;
  }

  // Between beginFill and endFill the view hears of nothing but one reset at the end.
  void beginFill() {
    if (filling_) return;
    beginResetModel();
    filling_ = true;
  }
  void endFill() {
    if (!filling_) return;
    filling_ = false;
    endResetModel();
  }
  bool filling() const { return filling_; }

  void clearRows() {
    if (rows_.empty()) return;
    if (!filling_) beginRemoveRows({}, 0, static_cast<int>(rows_.size()) - 1);
    rows_.clear();
    if (!filling_) endRemoveRows();
  }
  void clearColumns() {
    if (titles_.empty()) return;
    if (!filling_) beginRemoveColumns({}, 0, static_cast<int>(titles_.size()) - 1);
    titles_.clear();
    widths_.clear();
    for (auto& r : rows_) r.clear();
    if (!filling_) endRemoveColumns();
  }
  void addColumn(const Text& title, int width) {
    int n = static_cast<int>(titles_.size());
    if (!filling_) beginInsertColumns({}, n, n);
    titles_.push_back(title);
    widths_.push_back(width);
    for (auto& r : rows_) r.emplace_back();
    if (!filling_) endInsertColumns();
  }
  void setTitle(int column, const Text& title, int width) {
    titles_[column] = title;
    widths_[column] = width;
    if (!filling_) emit headerDataChanged(Qt::Horizontal, column, column);
  }
  const Text& title(int column) const { return titles_[column]; }
  int width(int column) const { return widths_[column]; }
  int appendRow() {
    int n = static_cast<int>(rows_.size());
    if (!filling_) beginInsertRows({}, n, n);
    rows_.emplace_back(titles_.size());
    if (!filling_) endInsertRows();
    return n;
  }
  void setCell(int row, int column, const Text& text) {
    Cell& cell = rows_[row][column];
    cell.bytes = text;
    cell.decoded = false;
    if (filling_) return;
    QModelIndex i = index(row, column);
    emit dataChanged(i, i);
  }
  const Text* cell(int row, int column) const {
    if (row < 0 || row >= static_cast<int>(rows_.size()) || column < 0 ||
        column >= static_cast<int>(titles_.size()))
      return nullptr;
    return &rows_[row][column].bytes;
  }

 private:
  std::vector<Text> titles_;
  std::vector<int> widths_;
  std::vector<std::vector<Cell>> rows_;
  bool filling_ = false;
};

class Grid : public QTableView {
 public:
  Grid(Control* c, QWidget* parent) : QTableView(parent), c_(c) {
    setModel(&model_);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setShowGrid(true);
    setSortingEnabled(false);
    setWordWrap(false);
    setEditTriggers(QAbstractItemView::SelectedClicked | QAbstractItemView::EditKeyPressed |
                    QAbstractItemView::DoubleClicked);
    setFrameShape(QFrame::Panel);
    setFrameShadow(QFrame::Sunken);
    verticalHeader()->hide();
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    horizontalHeader()->setSectionsClickable(true);
    horizontalHeader()->setSectionsMovable(false);
    horizontalHeader()->setMinimumSectionSize(0);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    horizontalHeader()->setStretchLastSection(false);
    QPalette p = palette();
    p.setColor(QPalette::Inactive, QPalette::Highlight,
               p.color(QPalette::Active, QPalette::Highlight));
    p.setColor(QPalette::Inactive, QPalette::HighlightedText,
               p.color(QPalette::Active, QPalette::HighlightedText));
    setPalette(p);
    connect(selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current, const QModelIndex& previous) {
              if (win->gridQuiet || !current.isValid() || current.row() == previous.row()) return;
              raiseEvent(c_, Event::FocusedRowChanged);
            });
  }
  GridModel& model() { return model_; }
  int focusedRow() const {
    QModelIndex i = selectionModel()->currentIndex();
    return i.isValid() ? i.row() : -1;
  }
  int currentRow() const {
    const QModelIndexList rows = selectionModel()->selectedRows();
    int best = -1;
    for (const QModelIndex& i : rows)
      if (best < 0 || i.row() < best) best = i.row();
    return best;
  }

 protected:
  // A click makes its row current before it selects it, and the actions read the selected
  // row: the event waits until the selection has followed.
  void mousePressEvent(QMouseEvent* e) override {
    const int before = focusedRow();
    const bool quiet = win->gridQuiet;
    win->gridQuiet = true;
    QTableView::mousePressEvent(e);
    win->gridQuiet = quiet;
    const int after = focusedRow();
    if (after >= 0 && after != before) raiseEvent(c_, Event::FocusedRowChanged);
  }

 private:
  GridModel model_;
  Control* c_;
};

// Esc closes the window whichever of its controls has the focus; nothing claims it first.
class EscapeCloses : public QObject {
 protected:
  bool eventFilter(QObject* o, QEvent* e) override {
    if (e->type() != QEvent::KeyPress || !win || !win->window) return false;
    if (static_cast<QKeyEvent*>(e)->key() != Qt::Key_Escape) return false;
    auto* w = qobject_cast<QWidget*>(o);
    if (!w || (w != win->window && !win->window->isAncestorOf(w))) return false;
    if (QApplication::activeModalWidget() || QApplication::activePopupWidget()) return false;
    win->window->close();
    return true;
  }
};

EscapeCloses* escapeFilter = nullptr;

template <typename W>
W* widgetOf(const char* name, ControlKind kind) {
  Control* c = find(name);
  return c && c->kind == kind ? static_cast<W*>(c->widget) : nullptr;
}

Grid* gridOf(const char* name) {
  return widgetOf<Grid>(name, ControlKind::Grid);
}
ComboBox* comboOf(const char* name) {
  return widgetOf<ComboBox>(name, ControlKind::ComboBox);
}

QString widgetText(Control* c) {
  switch (c->kind) {
    case ControlKind::EditBox:
      return c->style & MultiLine ? static_cast<QPlainTextEdit*>(c->widget)->toPlainText()
                                  : static_cast<QLineEdit*>(c->widget)->text();
    case ControlKind::ComboBox:
      return static_cast<QComboBox*>(c->widget)->lineEdit()->text();
    default:
      return c->readBack;
  }
}

// Gives the widget the Text, without any signal of the widget reaching the actions.
void showText(Control* c, const Text& text) {
  c->bytes = text;
  const QString shown = decodeGbk(text);
  c->writing = true;
  QSignalBlocker block(c->widget);
  switch (c->kind) {
    case ControlKind::EditBox:
      if (c->style & MultiLine)
        static_cast<QPlainTextEdit*>(c->widget)->setPlainText(shown);
      else {
        auto* edit = static_cast<QLineEdit*>(c->widget);
        edit->setText(shown);
        edit->setCursorPosition(0);  // show the text from its start, as a fresh box does
      }
      break;
    case ControlKind::ComboBox: {
      QLineEdit* edit = static_cast<QComboBox*>(c->widget)->lineEdit();
      QSignalBlocker blockEdit(edit);
      edit->setText(shown);
      break;
    }
    case ControlKind::Label:
    case ControlKind::Hyperlink:
      static_cast<QLabel*>(c->widget)->setText(shown);
      break;
    case ControlKind::Button:
      static_cast<QPushButton*>(c->widget)->setText(shown);
      break;
    default:
      break;
  }
  c->writing = false;
  c->readBack =
      c->kind == ControlKind::EditBox || c->kind == ControlKind::ComboBox ? widgetText(c) : shown;
  c->lastAccepted = c->readBack;
}

QWidget* makeWidget(Control* c, const ControlDef& def, QWidget* parent) {
  switch (def.kind) {
    case ControlKind::EditBox:
      if (def.style & MultiLine) return new MultiLineBox(c, parent);
      return new EditBox(c, parent);
    case ControlKind::Label: {
      auto* label = new QLabel(parent);
      label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
      QPalette p = label->palette();
      if (def.style & BlueText) p.setColor(QPalette::WindowText, QColor(0, 0, 255));
      if (def.style & RedText) p.setColor(QPalette::WindowText, QColor(255, 0, 0));
      label->setPalette(p);
      if (def.style & BoldFont) {
        QFont f = label->font();
        f.setWeight(QFont::Bold);
        f.setPixelSize(16);
        label->setFont(f);
      }
      return label;
    }
    case ControlKind::Button: {
      auto* button = new QPushButton(parent);
      // No default button: Enter presses none.
      button->setAutoDefault(false);
      button->setDefault(false);
      QObject::connect(button, &QPushButton::clicked, button,
                       [c] { raiseEvent(c, Event::Clicked); });
      return button;
    }
    case ControlKind::ComboBox:
      return new ComboBox(c, parent);
    case ControlKind::Grid:
      return new Grid(c, parent);
    case ControlKind::Hyperlink:
      return new Hyperlink(c, parent);
    case ControlKind::PictureBox:
      return new PictureBox(parent);
  }
  return nullptr;
}

void fillComboList(Control* c, const ControlDef& def) {
  auto* combo = static_cast<ComboBox*>(c->widget);
  QSignalBlocker block(combo);
  if (def.items)
    for (const Text& item : *def.items()) {
      c->items.push_back(item);
      combo->addItem(decodeGbk(item));
    }
  combo->setCurrentIndex(def.style & FirstItemCurrent ? 0 : -1);
  // A dropped list 160 pixels below the control's top, its lines 5 pixels taller.
  int line = combo->fontMetrics().height() + 5;
  combo->setMaxVisibleItems(std::max(1, (160 - def.height) / line));
  combo->view()->setStyleSheet(QString("QAbstractItemView::item { min-height: %1px; }").arg(line));
}

int ensureColumn(Grid* g, int column) {
  return g && column >= 0 && column < g->model().columnCount() ? column : -1;
}

}  // namespace

void createWindow(const std::vector<ControlDef>& controls, const std::vector<Binding>& bindings) {
  destroyWindow();
  win = new WindowState;
  win->creating = true;
  if (!escapeFilter) {
    escapeFilter = new EscapeCloses;
    qApp->installEventFilter(escapeFilter);
  }
  auto* window = new QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                                          Qt::WindowCloseButtonHint);
  window->setObjectName("MainWindow");
  window->setAttribute(Qt::WA_DeleteOnClose, false);
  window->setFixedSize(kClientWidth, kClientHeight);
  window->setAutoFillBackground(true);
  {
    // The size of the desktop's default dialog font, for which the controls were laid out.
    QFont font = QApplication::font();
    font.setPixelSize(12);
    QApplication::setFont(font);
  }
  {
    QPalette p = window->palette();
    p.setColor(QPalette::Window, p.color(QPalette::Button));
    window->setPalette(p);
  }
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    QRect s = screen->geometry();
    window->move(s.x() + (s.width() - kOuterWidth) / 2, s.y() + (s.height() - kOuterHeight) / 2);
  }
  win->window = window;

  QWidget* previousFocusable = nullptr;
  for (const ControlDef& def : controls) {
    auto c = std::make_unique<Control>();
    c->kind = def.kind;
    c->name = def.name;
    c->style = def.style;
    c->widget = makeWidget(c.get(), def, window);
    c->widget->setObjectName(QString::fromUtf8(def.name));
    c->widget->setGeometry(def.left, def.top, def.width, def.height);
    if (def.kind == ControlKind::ComboBox) fillComboList(c.get(), def);
    showText(c.get(), gbk(def.text ? def.text : ""));
    bool focusable = def.kind == ControlKind::EditBox || def.kind == ControlKind::ComboBox ||
                     def.kind == ControlKind::Button || def.kind == ControlKind::Grid;
    c->widget->setFocusPolicy(focusable ? Qt::StrongFocus : Qt::NoFocus);
    if (focusable && !(def.style & Hidden)) {
      if (previousFocusable) QWidget::setTabOrder(previousFocusable, c->widget);
      previousFocusable = c->widget;
    }
    c->widget->setVisible(!(def.style & Hidden));
    // The first control of the table lies on top of the others.
    c->widget->lower();
    win->controls[def.name] = std::move(c);
  }
  for (const Binding& b : bindings) {
    if (std::string(b.control) == "MainWindow") {
      if (b.event == Event::Created) win->createdBindings.push_back(&b);
      continue;
    }
    if (Control* c = find(b.control)) c->bindings[static_cast<int>(b.event)].push_back(&b);
  }
  win->creating = false;
}

void destroyWindow() {
  if (!win) return;
  WindowState* old = win;
  win = nullptr;
  delete old->window;
  delete old;
}

void raiseCreated() {
  if (!win) return;
  const auto bindings = win->createdBindings;
  for (const Binding* b : bindings) b->action();
}

void showWindow() {
  if (win) win->window->show();
}

bool windowVisible() {
  return win && win->window->isVisible();
}

void closeWindow() {
  if (win) win->window->close();
}

int runWindow() {
  raiseCreated();
  showWindow();
  QApplication::exec();
  return 0;
}

Text windowCaption() {
  return win ? win->caption : Text();
}

void setWindowCaption(const Text& caption) {
  if (!win) return;
  win->caption = caption;
  win->window->setWindowTitle(decodeGbk(caption));
}

Text controlText(const char* name) {
  Control* c = find(name);
  if (!c) return {};
  if (c->kind != ControlKind::EditBox && c->kind != ControlKind::ComboBox) return c->bytes;
  const QString now = widgetText(c);
  if (now == c->readBack) return c->bytes;
  QString typed = now;
  // A box whose text came with CR LF line breaks keeps that form for the lines typed into it.
  if ((c->style & MultiLine) && c->bytes.find("\r\n") != Text::npos)
    typed.replace(QStringLiteral("\r\n"), QStringLiteral("\n"))
        .replace('\n', QStringLiteral("\r\n"));
  auto bytes = encodeGbk(typed);
  if (!bytes) bytes = encodeGbk(c->lastAccepted);
  return bytes ? *bytes : c->bytes;
}

void setControlText(const char* name, const Text& text) {
  Control* c = find(name);
  if (!c) return;
  showText(c, text);
  if (c->kind == ControlKind::EditBox && !c->inTextChanged) raiseEvent(c, Event::TextChanged);
}

void setControlEnabled(const char* name, bool enabled) {
  if (Control* c = find(name)) c->widget->setEnabled(enabled);
}

bool controlEnabled(const char* name) {
  Control* c = find(name);
  return c && c->widget->isEnabled();
}

bool controlVisible(const char* name) {
  Control* c = find(name);
  return c && !c->widget->isHidden();
}

int comboItemCount(const char* name) {
  Control* c = find(name);
  return c && c->kind == ControlKind::ComboBox ? static_cast<int>(c->items.size()) : 0;
}

Text comboItem(const char* name, int index) {
  Control* c = find(name);
  if (!c || index < 0 || index >= static_cast<int>(c->items.size())) return {};
  return c->items[index];
}

// List changes leave the edit part as it was: Qt would show whatever item became current.
void comboDeleteItem(const char* name, int index) {
  ComboBox* combo = comboOf(name);
  Control* c = find(name);
  if (!combo || index < 0 || index >= static_cast<int>(c->items.size())) return;
  QSignalBlocker block(combo);
  QSignalBlocker blockEdit(combo->lineEdit());
  const QString text = combo->lineEdit()->text();
  c->items.erase(c->items.begin() + index);
  combo->removeItem(index);
  combo->lineEdit()->setText(text);
}

void comboAppendItem(const char* name, const Text& item) {
  ComboBox* combo = comboOf(name);
  if (!combo) return;
  Control* c = find(name);
  QSignalBlocker block(combo);
  QSignalBlocker blockEdit(combo->lineEdit());
  const QString text = combo->lineEdit()->text();
  const int current = combo->currentIndex();
  c->items.push_back(item);
  combo->addItem(decodeGbk(item));
  if (combo->currentIndex() != current) combo->setCurrentIndex(current);
  combo->lineEdit()->setText(text);
}

void comboSelectItem(const char* name, int index) {
  ComboBox* combo = comboOf(name);
  Control* c = find(name);
  if (!combo || index < 0 || index >= static_cast<int>(c->items.size())) return;
  {
    QSignalBlocker block(combo);
    combo->setCurrentIndex(index);
  }
  showText(c, c->items[index]);
}

int comboCurrentIndex(const char* name) {
  ComboBox* combo = comboOf(name);
  return combo ? combo->currentIndex() : -1;
}

void setPictureBytes(const char* name, const std::string& bytes) {
  auto* box = widgetOf<PictureBox>(name, ControlKind::PictureBox);
  if (!box) return;
  // The old picture goes first, so a failed decode never leaves it on show.
  box->setFrames({});
  if (!bytes.empty()) box->setFrames(decodePicture(bytes));
}

bool pictureShown(const char* name) {
  return pictureFrameCount(name) > 0;
}

int pictureFrameCount(const char* name) {
  auto* box = widgetOf<PictureBox>(name, ControlKind::PictureBox);
  return box ? box->frameCount() : 0;
}

void gridRemoveAllRows(const char* name) {
  if (Grid* g = gridOf(name)) {
    bool quiet = win->gridQuiet;
    win->gridQuiet = true;
    g->model().clearRows();
    win->gridQuiet = quiet;
  }
}

void gridRemoveAllColumns(const char* name) {
  if (Grid* g = gridOf(name)) {
    bool quiet = win->gridQuiet;
    win->gridQuiet = true;
    g->model().clearColumns();
    win->gridQuiet = quiet;
  }
}

void gridAddColumn(const char* name, const Text& title, int width) {
  if (Grid* g = gridOf(name)) {
    g->model().addColumn(title, width);
    if (!g->model().filling()) g->setColumnWidth(g->model().columnCount() - 1, width);
  }
}

void gridSetColumn(const char* name, int column, const Text& title, int width) {
  Grid* g = gridOf(name);
  if (ensureColumn(g, column) < 0) return;
  g->model().setTitle(column, title, width);
  if (!g->model().filling()) g->setColumnWidth(column, width);
}

int gridColumnCount(const char* name) {
  Grid* g = gridOf(name);
  return g ? g->model().columnCount() : 0;
}

Text gridColumnTitle(const char* name, int column) {
  Grid* g = gridOf(name);
  return ensureColumn(g, column) < 0 ? Text() : g->model().title(column);
}

int gridColumnWidth(const char* name, int column) {
  Grid* g = gridOf(name);
  if (ensureColumn(g, column) < 0) return 0;
  return g->model().filling() ? g->model().width(column) : g->columnWidth(column);
}

void gridBeginFill(const char* name) {
  if (Grid* g = gridOf(name)) g->model().beginFill();
}

void gridEndFill(const char* name) {
  Grid* g = gridOf(name);
  if (!g || !g->model().filling()) return;
  bool quiet = win->gridQuiet;
  win->gridQuiet = true;
  g->model().endFill();
  // A reset gives every column the default width; the widths come back in one pass.
  for (int k = 0; k < g->model().columnCount(); ++k) g->setColumnWidth(k, g->model().width(k));
  win->gridQuiet = quiet;
}

int gridAppendRow(const char* name) {
  Grid* g = gridOf(name);
  return g ? g->model().appendRow() : -1;
}

int gridRowCount(const char* name) {
  Grid* g = gridOf(name);
  return g ? g->model().rowCount() : 0;
}

void gridSetCell(const char* name, int row, int column, const Text& text) {
  Grid* g = gridOf(name);
  if (g && g->model().cell(row, column)) g->model().setCell(row, column, text);
}

Text gridCell(const char* name, int row, int column) {
  Grid* g = gridOf(name);
  const Text* cell = g ? g->model().cell(row, column) : nullptr;
  return cell ? *cell : Text();
}

int gridCurrentRow(const char* name) {
  Grid* g = gridOf(name);
  return g ? g->currentRow() : -1;
}

void gridSetCurrentRow(const char* name, int row) {
  Grid* g = gridOf(name);
  if (!g || row < 0 || row >= g->model().rowCount()) return;
  int before = g->focusedRow();
  bool quiet = win->gridQuiet;
  win->gridQuiet = true;
  g->selectionModel()->setCurrentIndex(
      g->model().index(row, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  win->gridQuiet = quiet;
  if (row != before) raiseEvent(find(name), Event::FocusedRowChanged);
}

int eventKeyCode() {
  return win ? win->keyCode : 0;
}
int eventModifiers() {
  return win ? win->modifiers : 0;
}
int eventX() {
  return win ? win->x : 0;
}
int eventY() {
  return win ? win->y : 0;
}

void switchOnSkin(int scheme) {
  static const QColor frames[] = {QColor(123, 158, 189), QColor(164, 185, 127),
                                  QColor(198, 197, 215)};
  const QColor frame = frames[std::clamp(scheme, 1, 3) - 1];
  // Under a style sheet every repaint of a combo box caches its arrow under a new key, and
  // Qt never evicts such small pixmaps: without a cache, memory stays flat all day.
  QPixmapCache::setCacheLimit(0);
  QApplication::setStyle(QStyleFactory::create("Fusion"));
  const QPalette p = QApplication::palette();
  const QColor face = p.color(QPalette::Button);
  const QColor disabledFrame(std::max(face.red() - 32, 0), std::max(face.green() - 32, 0),
                             std::max(face.blue() - 32, 0));
  const QColor window = p.color(QPalette::Base);
  // Flat frames: a one-pixel outer frame in the scheme's colour and a one-pixel inner frame
  // in the window colour (the padding shows the field's own background).
  const QString sheet =
      QString(R"(
QLineEdit, QPlainTextEdit, QComboBox {
  border: 1px solid %1; padding: 1px; background: %2; color: black;
}
QLineEdit:disabled, QPlainTextEdit:disabled, QComboBox:disabled {
  border-color: %3; background: %4;
}
QLineEdit:read-only, QPlainTextEdit:read-only { background: %4; }
QComboBox QAbstractItemView { border: 1px solid %1; background: %2; selection-background-color: %6; }
QPushButton {
  border: 1px solid %7; border-radius: 2px; padding: 2px 6px;
  background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #ffffff, stop:1 %5);
}
QPushButton:hover { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #ffffff, stop:1 %8); }
QPushButton:pressed { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 %5, stop:1 #ffffff); }
QPushButton:focus { border-color: %9; }
QPushButton:disabled { color: %3; border-color: %3; background: %4; }
)")
          .arg(frame.name(), window.name(), disabledFrame.name(), face.name(),
               frame.lighter(115).name(), p.color(QPalette::Highlight).name(),
               frame.darker(140).name(), frame.lighter(105).name(), frame.darker(200).name());
  qApp->setStyleSheet(sheet);
}

void setMessageBoxSeam(MessageBoxSeam seam) {
  messageSeam = std::move(seam);
}

int messageBox(const Text& text, int buttons) {
  return messageBox(text, buttons, gbk("信息："));
}

int messageBox(const Text& text, int buttons, const Text& title) {
  if (messageSeam) return messageSeam(text, buttons, title);
  using B = QMessageBox::StandardButton;
  static const std::map<int, QMessageBox::StandardButtons> sets = {
      {MbOk, B::Ok},
      {MbOkCancel, B::Ok | B::Cancel},
      {MbAbortRetryIgnore, B::Abort | B::Retry | B::Ignore},
      {MbYesNoCancel, B::Yes | B::No | B::Cancel},
      {MbYesNo, B::Yes | B::No},
      {MbRetryCancel, B::Retry | B::Cancel},
  };
  auto set = sets.find(buttons);
  QMessageBox box(QMessageBox::NoIcon, decodeGbk(title), decodeGbk(text),
                  set == sets.end() ? QMessageBox::StandardButtons(B::Ok) : set->second);
  box.setWindowModality(Qt::ApplicationModal);
  const int answer = box.exec();
  static const std::map<int, int> codes = {
      {B::Ok, IdOk},         {B::Cancel, IdCancel}, {B::Abort, IdAbort}, {B::Retry, IdRetry},
      {B::Ignore, IdIgnore}, {B::Yes, IdYes},       {B::No, IdNo}};
  auto code = codes.find(answer);
  if (code != codes.end()) return code->second;
  return buttons == MbOk ? IdOk : IdCancel;
}

void* controlWidget(const char* name) {
  Control* c = find(name);
  return c ? c->widget : nullptr;
}

void* windowWidget() {
  return win ? win->window : nullptr;
}

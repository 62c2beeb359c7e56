#include "skin/Skin.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QBitmap>
#include <QEvent>
#include <QFrame>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QTimer>
#include <QTimerEvent>
#include <cctype>
#include <string>

#include "platform/text/Utf8.h"
#include "skin/Atlas.h"

namespace rowcaster::skin {
namespace {

QImage gAtlas;
bool gInitialised = false;
int gButtons = 0;
int gForms = 0;
std::uint64_t gBlends = 0;

const char* const kStateImage[4] = {"HDC0", "HDC1", "HDC2", "HDC3"};

int Prop(const QObject* o, const char* name) { return o->property(name).toInt(); }
void SetProp(QObject* o, const char* name, int value) { o->setProperty(name, value); }
bool Hooked(const QObject* o) { return o->property("PROCADDR").isValid(); }

// The class tables: a widget belongs to a role when its class or one it derives from is listed.
bool ClassIn(const QWidget* w, std::initializer_list<const char*> names) {
  for (const QMetaObject* m = w->metaObject(); m; m = m->superClass()) {
    const std::string cls = text::AsciiLower(m->className());
    for (const char* n : names)
      if (cls == n) return true;
  }
  return false;
}
bool IsButtonClass(const QWidget* w) {
  return ClassIn(w, {"thundercommandbutton", "thunderrt6commandbutton", "button", "qpushbutton"});
}
bool IsFormClass(const QWidget* w) {
  return ClassIn(w, {"#32770", "thunderformdc", "thunderrt6formdc", "form", "qmainwindow", "qdialog", "qmessagebox"});
}

bool OwnedByHookedForm(const QWidget* w) {
  for (const QWidget* owner = w->parentWidget(); owner; owner = owner->parentWidget())
    if (owner->isWindow() && IsFormClass(owner) && Hooked(owner)) return true;
  return false;
}

// Skins a dialog or message box when it becomes active while a hooked window (or a dialog of it)
// owns it. The hooked window's deactivation alone is not enough: a window manager may activate the
// dialog before, after or without deactivating its owner.
class ActivationWatcher : public QObject {
 protected:
  bool eventFilter(QObject* o, QEvent* e) override {
    if (e->type() == QEvent::WindowActivate && o->isWidgetType()) {
      auto* w = static_cast<QWidget*>(o);
      if (w->isWindow() && IsFormClass(w) && !Hooked(w) && OwnedByHookedForm(w)) SkinAttach(w);
    }
    return false;
  }
};
QObject* gWatcher = nullptr;

void WatchActivations(bool on) {
  if (on && !gWatcher && QCoreApplication::instance()) {
    gWatcher = new ActivationWatcher;
    QCoreApplication::instance()->installEventFilter(gWatcher);
  } else if (!on && gWatcher) {
    gWatcher->deleteLater();  // may be inside its own filter now
    gWatcher = nullptr;
  }
}

void ReleaseAtlasIfUnused() {
  if (gForms <= 0) WatchActivations(false);
  if (gButtons <= 0 && gForms <= 0) {
    gAtlas = QImage();
    gInitialised = false;
  }
}

// The rounded region: the rectangle without its four corner pixels.
QRegion RoundedRegion(int w, int h) {
  QRegion r(0, 0, w, h);
  if (w >= 2 && h >= 2) {
    r -= QRegion(0, 0, 1, 1);
    r -= QRegion(w - 1, 0, 1, 1);
    r -= QRegion(0, h - 1, 1, 1);
    r -= QRegion(w - 1, h - 1, 1, 1);
  }
  return r;
}

bool IsPointerOrKey(QEvent::Type t) {
  switch (t) {
    case QEvent::MouseMove:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Enter:
    case QEvent::Leave:
    case QEvent::HoverEnter:
    case QEvent::HoverMove:
    case QEvent::HoverLeave:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
      return true;
    default:
      return false;
  }
}

class ButtonHook : public QObject {
 public:
  explicit ButtonHook(QPushButton* b) : QObject(b), button_(b), tracking_(b->hasMouseTracking()) {}
  ~ButtonHook() override {
    if (!detached_) {  // the button is being destroyed
      --gButtons;
      ReleaseAtlasIfUnused();
    }
  }

  void Attach() {
    NewImages();
    SetProp(button_, "MOUSEFLAG", 0);
    SetProp(button_, "TIMERID", 0);
    SetProp(button_, "OLDSTATE", button_->isEnabled() ? 0 : 3);
    SetProp(button_, "ALPHALEVEL", 0);
    button_->setMask(RoundedRegion(button_->width(), button_->height()));
    button_->setMouseTracking(true);
    button_->installEventFilter(this);
    button_->setProperty("PROCADDR", QVariant::fromValue<qulonglong>(reinterpret_cast<quintptr>(this)));
    ++gButtons;
    shown_ = StateImage(Prop(button_, "OLDSTATE"));
    button_->update();
  }

  void Detach() {
    for (const char* name : kStateImage) button_->setProperty(name, QVariant());
    FadeStop();
    for (const char* name : {"MOUSEFLAG", "TIMERID", "OLDSTATE", "ALPHALEVEL", "PROCADDR"}) button_->setProperty(name, QVariant());
    button_->clearMask();
    button_->setMouseTracking(tracking_);
    button_->removeEventFilter(this);
    button_->update();
    detached_ = true;
    --gButtons;
    ReleaseAtlasIfUnused();
  }

 protected:
  bool eventFilter(QObject*, QEvent* e) override {
    // A disabled button keeps its disabled look: the pointer and the keys leave it alone.
    if (!button_->isEnabled() && IsPointerOrKey(e->type())) return false;
    switch (e->type()) {
      case QEvent::Resize:
        NewImages();
        shown_ = StateImage(Prop(button_, "OLDSTATE"));
        button_->setMask(RoundedRegion(button_->width(), button_->height()));
        return false;
      case QEvent::FocusIn:
      case QEvent::FocusOut:
        RenderStates(button_);
        SetProp(button_, "ALPHALEVEL", 0);
        FadeStart();
        return false;
      case QEvent::EnabledChange: {
        const int state = button_->isEnabled() ? 0 : 3;
        SetProp(button_, "OLDSTATE", state);
        shown_ = StateImage(state);  // at once, without a fade
        button_->update();
        return false;
      }
      case QEvent::Paint: {
        QPainter p(button_);
        p.drawImage(0, 0, shown_.isNull() ? StateImage(Prop(button_, "OLDSTATE")) : shown_);
        return true;  // the button's own painting does not run
      }
      case QEvent::KeyPress: {
        auto* k = static_cast<QKeyEvent*>(e);
        if (k->key() == Qt::Key_Space && !k->isAutoRepeat()) Enter(2, 50);
        return false;
      }
      case QEvent::KeyRelease: {
        auto* k = static_cast<QKeyEvent*>(e);
        if (k->key() == Qt::Key_Space && !k->isAutoRepeat()) {
          SetProp(button_, "MOUSEFLAG", 0);
          Enter(0, 0);
        }
        return false;
      }
      case QEvent::Timer:
        if (static_cast<QTimerEvent*>(e)->timerId() == Prop(button_, "TIMERID")) FadeStep();
        return false;
      case QEvent::MouseMove:
        if (Prop(button_, "MOUSEFLAG") == 0) {
          SetProp(button_, "MOUSEFLAG", 1);
          Enter(1, 70);
        }
        return false;
      case QEvent::MouseButtonPress:
        if (static_cast<QMouseEvent*>(e)->button() == Qt::LeftButton) Enter(2, 10);
        return false;
      case QEvent::MouseButtonRelease:
        if (static_cast<QMouseEvent*>(e)->button() != Qt::LeftButton) return false;
        [[fallthrough]];
      case QEvent::Leave:
        SetProp(button_, "MOUSEFLAG", 0);
        Enter(0, 0);
        return false;
      default:
        return false;
    }
  }

 private:
  QImage StateImage(int state) const { return button_->property(kStateImage[state & 3]).value<QImage>(); }

  void NewImages() {
    for (const char* name : kStateImage) {
      QImage image(std::max(1, button_->width()), std::max(1, button_->height()), QImage::Format_ARGB32_Premultiplied);
      image.fill(Qt::transparent);
      button_->setProperty(name, image);
    }
    RenderStates(button_);
  }

  void Enter(int state, int level) {
    SetProp(button_, "OLDSTATE", state);
    SetProp(button_, "ALPHALEVEL", level);
    FadeStart();
  }

  void FadeStart() {
    if (Prop(button_, "TIMERID") == 0) SetProp(button_, "TIMERID", button_->startTimer(kFadeMilliseconds));
  }

  void FadeStop() {
    const int id = Prop(button_, "TIMERID");
    if (id != 0) {
      SetProp(button_, "TIMERID", 0);
      button_->killTimer(id);
    }
  }

  // One tick: the current state's image over what is shown, at the current opacity.
  void FadeStep() {
    const int level = Prop(button_, "ALPHALEVEL");
    const QImage image = StateImage(Prop(button_, "OLDSTATE"));
    if (shown_.size() != image.size()) shown_ = image;
    {
      QPainter p(&shown_);
      p.setCompositionMode(QPainter::CompositionMode_SourceOver);
      p.setOpacity(level / 255.0);
      p.drawImage(0, 0, image);
    }
    ++gBlends;
    button_->update();
    const int next = level + 3;
    if (next > 255) {
      FadeStop();
      SetProp(button_, "ALPHALEVEL", 0);
    } else {
      SetProp(button_, "ALPHALEVEL", next);
    }
  }

  QPushButton* button_;
  bool tracking_;
  bool detached_ = false;
  QImage shown_;  // what the button shows now: the fade blends into it
};

class FormHook : public QObject {
 public:
  explicit FormHook(QWidget* w) : QObject(w), form_(w) {}
  ~FormHook() override {
    if (!detached_) {
      --gForms;
      ReleaseAtlasIfUnused();
    }
  }
  void Detach() {
    form_->removeEventFilter(this);
    form_->setProperty("PROCADDR", QVariant());
    detached_ = true;
    --gForms;
    ReleaseAtlasIfUnused();
  }

 protected:
  bool eventFilter(QObject*, QEvent* e) override {
    if (e->type() == QEvent::WindowDeactivate) {
      // The window that takes the activation is known once the change is done.
      QTimer::singleShot(0, this, [this] {
        QWidget* active = QApplication::activeWindow();
        if (active && active != form_ && IsFormClass(active)) SkinAttach(active);
      });
    }
    return false;
  }

 private:
  QWidget* form_;
  bool detached_ = false;
};

// The flat border: a child laid over the sunken edge, masked to the three outer pixel rings, that
// paints a one-pixel 54A5D5 (disabled: CCCCCC) line and covers the rest of the edge with the
// widget's background.
class EdgeHook : public QWidget {
 public:
  explicit EdgeHook(QWidget* w) : QWidget(w), widget_(w) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    Fit();
    show();
    raise();
    w->installEventFilter(this);
  }
  void Detach() {
    widget_->removeEventFilter(this);
    widget_->setProperty("PROCADDR", QVariant());
    widget_->update();
    hide();
    deleteLater();
  }

 protected:
  bool eventFilter(QObject* o, QEvent* e) override {
    if (o == widget_ && (e->type() == QEvent::Resize || e->type() == QEvent::EnabledChange)) {
      Fit();
      update();
    } else if (o == widget_ && e->type() == QEvent::ChildAdded) {
      raise();
    }
    return false;
  }
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    const int w = width(), h = height();
    p.setPen(widget_->isEnabled() ? QColor(0x54, 0xA5, 0xD5) : QColor(0xCC, 0xCC, 0xCC));
    p.drawRect(0, 0, w - 1, h - 1);
    p.setPen(widget_->palette().color(QPalette::Base));
    p.drawRect(1, 1, w - 3, h - 3);
    p.drawRect(2, 2, w - 5, h - 5);
  }

 private:
  void Fit() {
    const int w = widget_->width(), h = widget_->height();
    setGeometry(0, 0, w, h);
    QRegion ring(0, 0, w, h);
    if (w > 6 && h > 6) ring -= QRegion(3, 3, w - 6, h - 6);
    setMask(ring);
  }
  QWidget* widget_;
};

bool HasSunkenEdge(QWidget* w) {
  if (auto* edit = qobject_cast<QLineEdit*>(w)) return edit->hasFrame();
  if (auto* frame = qobject_cast<QFrame*>(w))
    return frame->frameShape() != QFrame::NoFrame && frame->frameShadow() == QFrame::Sunken;
  return false;
}

void ButtonAttach(QPushButton* b) {
  if (Hooked(b)) return;
  (new ButtonHook(b))->Attach();
}

// The hook that took a widget over, if it is of the kind asked for.
template <typename Hook>
Hook* HookOf(QWidget* w) {
  if (!Hooked(w)) return nullptr;
  auto* object = reinterpret_cast<QObject*>(static_cast<quintptr>(w->property("PROCADDR").toULongLong()));
  for (QObject* child : w->children())
    if (child == object) return dynamic_cast<Hook*>(object);
  return nullptr;
}

// The widgets of a window itself: its descendants, but not those of the dialogs it owns.
QList<QWidget*> OwnDescendants(QWidget* window) {
  QList<QWidget*> own;
  for (QWidget* child : window->findChildren<QWidget*>())
    if (child->window() == window) own.push_back(child);
  return own;
}

void ButtonDetach(QWidget* b) {
  if (auto* hook = HookOf<ButtonHook>(b)) {
    hook->Detach();
    hook->deleteLater();
  }
}

void EdgeAttach(QWidget* w) {
  if (Hooked(w) || !HasSunkenEdge(w)) return;
  auto* hook = new EdgeHook(w);
  w->setProperty("PROCADDR", QVariant::fromValue<qulonglong>(reinterpret_cast<quintptr>(hook)));
}

void EdgeDetach(QWidget* w) {
  if (auto* hook = HookOf<EdgeHook>(w)) hook->Detach();
}

void FormAttach(QWidget* w) {
  if (Hooked(w)) return;
  auto* hook = new FormHook(w);
  w->installEventFilter(hook);
  w->setProperty("PROCADDR", QVariant::fromValue<qulonglong>(reinterpret_cast<quintptr>(hook)));
  ++gForms;
  WatchActivations(true);
}

void FormDetach(QWidget* w) {
  if (auto* hook = HookOf<FormHook>(w)) {
    hook->Detach();
    hook->deleteLater();
  }
}

// The caption without its access-key marker, for measuring.
QString Plain(const QString& caption) {
  QString s;
  for (int i = 0; i < caption.size(); ++i) {
    if (caption[i] == '&' && i + 1 < caption.size()) ++i;
    s += caption[i];
  }
  return s;
}

}  // namespace

QString FittedCaption(const QString& caption, const QFontMetrics& metrics, int width) {
  const QString plain = Plain(caption);
  if (metrics.horizontalAdvance(plain) <= width) return caption;
  // Where the access key stands in the plain text, or -1.
  int key = -1;
  for (int i = 0, plainIndex = 0; i < caption.size(); ++i, ++plainIndex) {
    if (caption[i] == '&' && i + 1 < caption.size()) {
      if (caption[i + 1] != '&' && key < 0) key = plainIndex;
      ++i;
    }
  }
  // The elided text is a prefix of the plain text and the ellipsis; marks go back where they were.
  const QString elided = metrics.elidedText(plain, Qt::ElideRight, width);
  QString out;
  for (int i = 0; i < elided.size(); ++i) {
    const bool inPrefix = i < plain.size() && elided[i] == plain[i] && (i + 1 < elided.size());
    if (inPrefix && i == key) out += '&';
    if (elided[i] == '&') out += '&';
    out += elided[i];
  }
  return out;
}

int ButtonCount() { return gButtons; }
int FormCount() { return gForms; }
const QImage& SkinAtlas() { return gAtlas; }
std::uint64_t BlendCount() { return gBlends; }

void RenderStates(QPushButton* b) {
  if (gAtlas.isNull()) return;
  const int W = b->width(), H = b->height();
  const QString caption = b->text();
  for (int s = 0; s < 4; ++s) {
    QImage image = b->property(kStateImage[s]).value<QImage>();
    if (image.size() != QSize(W, H)) {
      image = QImage(std::max(1, W), std::max(1, H), QImage::Format_ARGB32_Premultiplied);
    }
    image.fill(Qt::transparent);
    {
      QPainter p(&image);
      p.setRenderHint(QPainter::SmoothPixmapTransform, false);
      const int y0 = 21 * s;
      auto slice = [&](int x, int y, int w, int h, int sx, int sy, int sw, int sh) {
        if (w > 0 && h > 0) p.drawImage(QRect(x, y, w, h), gAtlas, QRect(sx, sy, sw, sh));
      };
      slice(0, 0, 4, 5, 0, y0, 4, 5);
      slice(4, 0, W - 8, 5, 4, y0, 1, 5);
      slice(W - 4, 0, 4, 5, 5, y0, 4, 5);
      slice(0, 5, 4, H - 10, 0, y0 + 5, 4, 11);
      slice(W - 4, 5, 4, H - 10, 5, y0 + 5, 4, 11);
      slice(0, H - 5, 4, 5, 0, y0 + 16, 4, 5);
      slice(W - 4, H - 5, 4, 5, 5, y0 + 16, 4, 5);
      slice(4, H - 5, W - 8, 5, 4, y0 + 16, 1, 5);
      slice(4, 5, W - 8, H - 10, 4, y0 + 5, 1, 11);
      // The caption: one line, centred, access key underlined, an ellipsis when too long.
      p.setFont(b->font());
      p.setPen(s == 3 ? QColor(0x80, 0x80, 0x80) : QColor(0, 0, 0));
      const QRect box(2, 2, W - 4, H - 4);
      const QFontMetrics metrics(b->font());
      p.drawText(box, Qt::AlignCenter | Qt::TextSingleLine | Qt::TextShowMnemonic, FittedCaption(caption, metrics, box.width()));
      if (b->hasFocus()) {
        QPen pen(QColor(0, 0, 0));
        pen.setStyle(Qt::DotLine);
        p.setPen(pen);
        p.drawRect(box.adjusted(0, 0, -1, -1));
      }
    }
    b->setProperty(kStateImage[s], image);
  }
}

void SkinAttach(QWidget* window) {
  if (!window) return;
  if (!gInitialised) {
    gInitialised = true;
    gAtlas = BuildAtlas();
  }
  if (IsButtonClass(window)) {
    if (auto* b = qobject_cast<QPushButton*>(window)) ButtonAttach(b);
  } else if (IsFormClass(window)) {
    for (QWidget* child : OwnDescendants(window)) {
      if (IsButtonClass(child)) {
        if (auto* b = qobject_cast<QPushButton*>(child)) ButtonAttach(b);
      } else {
        EdgeAttach(child);
      }
    }
    FormAttach(window);
  }
  ReleaseAtlasIfUnused();
}

void SkinDetach(QWidget* window) {
  if (!window) return;
  if (IsButtonClass(window)) {
    ButtonDetach(window);
  } else if (IsFormClass(window)) {
    for (QWidget* child : OwnDescendants(window)) {
      if (IsButtonClass(child)) {
        ButtonDetach(child);
      } else {
        EdgeDetach(child);
      }
    }
    FormDetach(window);
  }
}

}  // namespace rowcaster::skin

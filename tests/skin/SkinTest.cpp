#include "skin/Skin.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QEnterEvent>
#include <QLineEdit>
#include <QMainWindow>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QTest>
#include <QTimerEvent>
#include <functional>
#include <set>

#include "skin/Atlas.h"

namespace rowcaster::skin {
namespace {

int P(const QWidget* w, const char* name) { return w->property(name).toInt(); }
QRgb Rgb(const QImage& image, int x, int y) { return image.pixel(x, y) & 0xFFFFFF; }

// A form with two buttons (one disabled) and a text box.
class Skinned : public ::testing::Test {
 protected:
  void SetUp() override {
    form_ = new QMainWindow;
    auto* client = new QWidget(form_);
    form_->setCentralWidget(client);
    a_ = new QPushButton("开始转换(&C)", client);
    a_->setGeometry(10, 10, 75, 25);
    b_ = new QPushButton("退出软件(&E)", client);
    b_->setGeometry(10, 40, 75, 25);
    b_->setEnabled(false);
    edit_ = new QLineEdit(client);
    edit_->setGeometry(10, 70, 120, 22);
    form_->resize(200, 120);
    form_->show();
    QApplication::processEvents();
    buttonsBefore_ = ButtonCount();
    formsBefore_ = FormCount();
  }
  void TearDown() override {
    SkinDetach(form_);
    delete form_;
    QApplication::processEvents();
  }
  // Timer ticks until the fade stops; each tick must be one blend.
  int TicksUntilStill(QPushButton* b) {
    int ticks = 0;
    const std::uint64_t blends = BlendCount();
    while (P(b, "TIMERID") != 0 && ticks < 1000) {
      QTimerEvent tick(P(b, "TIMERID"));
      QApplication::sendEvent(b, &tick);
      ++ticks;
    }
    EXPECT_EQ(BlendCount() - blends, static_cast<std::uint64_t>(ticks)) << "one blend per tick";
    return ticks;
  }
  void Send(QWidget* w, QEvent::Type type, Qt::MouseButton button = Qt::NoButton) {
    QMouseEvent e(type, QPointF(5, 5), w->mapToGlobal(QPointF(5, 5)), button, button, {});
    QApplication::sendEvent(w, &e);
  }
  void Key(QWidget* w, QEvent::Type type) {
    QKeyEvent e(type, Qt::Key_Space, {});
    QApplication::sendEvent(w, &e);
  }

  QMainWindow* form_;
  QPushButton *a_, *b_;
  QLineEdit* edit_;
  int buttonsBefore_ = 0, formsBefore_ = 0;
};

TEST(Atlas, HoldsTheFourLooks) {
  const QImage atlas = BuildAtlas();
  ASSERT_EQ(atlas.size(), QSize(9, 84));
  EXPECT_EQ(Rgb(atlas, 0, 0), 0x78BAE6u);
  EXPECT_EQ(Rgb(atlas, 4, 21 * 0 + 10), 0xD7EAF9u);
  EXPECT_EQ(Rgb(atlas, 4, 21 * 2 + 3), 0x9ACDEEu);
  EXPECT_EQ(Rgb(atlas, 3, 21 * 3 + 0), 0xBFBFBFu);
  EXPECT_EQ(Rgb(atlas, 1, 21 * 1 + 1), 0x28A3E6u);
  for (int y = 0; y < 84; ++y)
    for (int k = 0; k < 4; ++k) EXPECT_EQ(atlas.pixel(8 - k, y), atlas.pixel(k, y)) << "mirror, row " << y;
}

TEST_F(Skinned, AttachingTwiceSkinsOnce) {
  SkinAttach(form_);
  EXPECT_EQ(ButtonCount(), buttonsBefore_ + 2);
  EXPECT_EQ(FormCount(), formsBefore_ + 1);
  EXPECT_FALSE(SkinAtlas().isNull());
  const qint64 key = a_->property("HDC0").value<QImage>().cacheKey();
  SkinAttach(form_);
  SkinAttach(a_);
  EXPECT_EQ(ButtonCount(), buttonsBefore_ + 2);
  EXPECT_EQ(FormCount(), formsBefore_ + 1);
  EXPECT_EQ(a_->property("HDC0").value<QImage>().cacheKey(), key) << "no second set of images";
  EXPECT_TRUE(edit_->property("PROCADDR").isValid()) << "the text box has the flat border";
}

TEST_F(Skinned, DisabledButtonsAndEnabling) {
  SkinAttach(form_);
  EXPECT_EQ(P(b_, "OLDSTATE"), 3);
  EXPECT_EQ(P(a_, "OLDSTATE"), 0);
  b_->setEnabled(true);
  EXPECT_EQ(P(b_, "OLDSTATE"), 0);
  EXPECT_EQ(P(b_, "TIMERID"), 0) << "shown at once, without a fade";
  const QImage shown = b_->grab().toImage();
  EXPECT_EQ(Rgb(shown, 37, 3), Rgb(b_->property("HDC0").value<QImage>(), 37, 3));
  b_->setEnabled(false);
  EXPECT_EQ(P(b_, "OLDSTATE"), 3);
  EXPECT_EQ(Rgb(b_->grab().toImage(), 37, 3), Rgb(b_->property("HDC3").value<QImage>(), 37, 3));
}

TEST_F(Skinned, ADisabledButtonIgnoresThePointerAndKeys) {
  SkinAttach(form_);
  const QImage disabled = b_->property("HDC3").value<QImage>();
  const std::pair<const char*, std::function<void()>> events[] = {
      {"enter", [&] { QEnterEvent e(QPointF(5, 5), QPointF(5, 5), b_->mapToGlobal(QPointF(5, 5))); QApplication::sendEvent(b_, &e); }},
      {"move", [&] { Send(b_, QEvent::MouseMove); }},
      {"press", [&] { Send(b_, QEvent::MouseButtonPress, Qt::LeftButton); }},
      {"release", [&] { Send(b_, QEvent::MouseButtonRelease, Qt::LeftButton); }},
      {"leave", [&] { QEvent e(QEvent::Leave); QApplication::sendEvent(b_, &e); }},
      {"space down", [&] { Key(b_, QEvent::KeyPress); }},
      {"space up", [&] { Key(b_, QEvent::KeyRelease); }},
  };
  for (const auto& [what, act] : events) {
    act();
    EXPECT_EQ(P(b_, "OLDSTATE"), 3) << what;
    EXPECT_EQ(P(b_, "TIMERID"), 0) << what;
    EXPECT_EQ(P(b_, "MOUSEFLAG"), 0) << what;
    EXPECT_EQ(Rgb(b_->grab().toImage(), 37, 3), Rgb(disabled, 37, 3)) << what;
  }
  b_->setEnabled(true);
  EXPECT_EQ(P(b_, "OLDSTATE"), 0);
  Send(b_, QEvent::MouseMove);
  EXPECT_EQ(P(b_, "OLDSTATE"), 1) << "enabled again, it reacts";
}

TEST_F(Skinned, StateTableAndFadeLevels) {
  SkinAttach(form_);
  struct Step {
    const char* what;
    std::function<void()> act;
    int state, level, mouseFlag;
  };
  const Step steps[] = {
      {"pointer moves in", [&] { Send(a_, QEvent::MouseMove); }, 1, 70, 1},
      {"moves again: nothing more", [&] { Send(a_, QEvent::MouseMove); }, 1, 70, 1},
      {"left button down", [&] { Send(a_, QEvent::MouseButtonPress, Qt::LeftButton); }, 2, 10, 1},
      {"left button up", [&] { Send(a_, QEvent::MouseButtonRelease, Qt::LeftButton); }, 0, 0, 0},
      {"space down", [&] { Key(a_, QEvent::KeyPress); }, 2, 50, 0},
      {"space up", [&] { Key(a_, QEvent::KeyRelease); }, 0, 0, 0},
      {"pointer in again", [&] { Send(a_, QEvent::MouseMove); }, 1, 70, 1},
      {"pointer leaves", [&] { QEvent e(QEvent::Leave); QApplication::sendEvent(a_, &e); }, 0, 0, 0},
      {"gains the focus", [&] { QFocusEvent e(QEvent::FocusIn); QApplication::sendEvent(a_, &e); }, 0, 0, 0},
  };
  for (const Step& s : steps) {
    s.act();
    EXPECT_EQ(P(a_, "OLDSTATE"), s.state) << s.what;
    EXPECT_EQ(P(a_, "ALPHALEVEL"), s.level) << s.what;
    EXPECT_EQ(P(a_, "MOUSEFLAG"), s.mouseFlag) << s.what;
    EXPECT_NE(P(a_, "TIMERID"), 0) << s.what << ": a fade runs";
  }
}

TEST_F(Skinned, FadesTickAndStop) {
  SkinAttach(form_);
  Send(a_, QEvent::MouseMove);
  EXPECT_EQ(TicksUntilStill(a_), 62);
  EXPECT_EQ(P(a_, "TIMERID"), 0);
  EXPECT_EQ(P(a_, "ALPHALEVEL"), 0);
  QEvent leave(QEvent::Leave);
  QApplication::sendEvent(a_, &leave);
  EXPECT_EQ(TicksUntilStill(a_), 86);
  Send(a_, QEvent::MouseButtonPress, Qt::LeftButton);
  EXPECT_EQ(TicksUntilStill(a_), 82);
  Key(a_, QEvent::KeyPress);
  EXPECT_EQ(TicksUntilStill(a_), 69);
  // Idle: no button runs a timer.
  for (QPushButton* b : {a_, b_}) EXPECT_EQ(P(b, "TIMERID"), 0);
  // After a full fade the button shows its state's image.
  EXPECT_EQ(Rgb(a_->grab().toImage(), 37, 3), Rgb(a_->property("HDC2").value<QImage>(), 37, 3));
}

TEST_F(Skinned, TheButtonStillClicks) {
  SkinAttach(form_);
  int clicks = 0;
  QObject::connect(a_, &QPushButton::clicked, [&] { ++clicks; });
  QTest::mouseClick(a_, Qt::LeftButton);
  a_->setFocus();
  QTest::keyClick(a_, Qt::Key_Space);
  EXPECT_EQ(clicks, 2);
  EXPECT_EQ(P(a_, "OLDSTATE"), 0);
}

TEST_F(Skinned, StateImagesOfA75By25Button) {
  SkinAttach(form_);
  const QImage atlas = SkinAtlas();
  QPushButton plain("", form_->centralWidget());
  plain.setGeometry(100, 10, 75, 25);
  plain.show();
  SkinAttach(&plain);
  for (int s = 0; s < 4; ++s) {
    SCOPED_TRACE(s);
    const QImage image = plain.property(s == 0 ? "HDC0" : s == 1 ? "HDC1" : s == 2 ? "HDC2" : "HDC3").value<QImage>();
    ASSERT_EQ(image.size(), QSize(75, 25));
    const int y0 = 21 * s;
    // Corners are copied as they are.
    for (int dx = 0; dx < 4; ++dx)
      for (int dy = 0; dy < 5; ++dy) {
        EXPECT_EQ(Rgb(image, dx, dy), Rgb(atlas, dx, y0 + dy));
        EXPECT_EQ(Rgb(image, 71 + dx, dy), Rgb(atlas, 5 + dx, y0 + dy));
        EXPECT_EQ(Rgb(image, dx, 20 + dy), Rgb(atlas, dx, y0 + 16 + dy));
        EXPECT_EQ(Rgb(image, 71 + dx, 20 + dy), Rgb(atlas, 5 + dx, y0 + 16 + dy));
      }
    // The top and bottom edges repeat the middle column; the left edge and the middle stretch the
    // eleven middle rows over fifteen.
    std::set<QRgb> middleColumn, leftColumn;
    for (int r = 5; r <= 15; ++r) {
      middleColumn.insert(Rgb(atlas, 4, y0 + r));
      leftColumn.insert(Rgb(atlas, 0, y0 + r));
    }
    for (int x = 4; x < 71; ++x) {
      EXPECT_EQ(Rgb(image, x, 0), Rgb(atlas, 4, y0));
      EXPECT_EQ(Rgb(image, x, 24), Rgb(atlas, 4, y0 + 20));
    }
    for (int y = 5; y < 20; ++y) {
      EXPECT_TRUE(leftColumn.count(Rgb(image, 0, y))) << y;
      EXPECT_TRUE(middleColumn.count(Rgb(image, 37, y))) << y;
    }
    EXPECT_EQ(Rgb(image, 37, 5), Rgb(atlas, 4, y0 + 5));
    EXPECT_EQ(Rgb(image, 37, 19), Rgb(atlas, 4, y0 + 15));
  }
  // The rounded region drops the corner pixels.
  EXPECT_FALSE(plain.mask().contains(QPoint(0, 0)));
  EXPECT_TRUE(plain.mask().contains(QPoint(1, 0)));
  EXPECT_FALSE(plain.mask().contains(QPoint(74, 24)));
}

TEST_F(Skinned, CaptionsAreBlackOrGrey) {
  SkinAttach(form_);
  auto count = [](const QImage& image, QRgb rgb) {
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
      for (int x = 0; x < image.width(); ++x) n += Rgb(image, x, y) == rgb;
    return n;
  };
  const QImage normal = a_->property("HDC0").value<QImage>();
  const QImage disabled = a_->property("HDC3").value<QImage>();
  EXPECT_GT(count(disabled, 0x808080), 5);
  EXPECT_EQ(count(normal, 0x808080), 0);
  EXPECT_GT(count(normal, 0x000000), 5);
  // A caption too wide for the button ends in an ellipsis instead of spilling over.
  QPushButton wide("一个非常非常非常长的按钮标题(&L)", form_->centralWidget());
  wide.setGeometry(0, 0, 60, 25);
  SkinAttach(&wide);
  const QImage image = wide.property("HDC0").value<QImage>();
  for (int y = 0; y < 25; ++y) EXPECT_NE(Rgb(image, 1, y), 0x000000u);
}

TEST(FittedCaption, KeepsTheAccessKeyOfACutCaption) {
  const QFontMetrics metrics(QApplication::font());
  const int narrow = metrics.horizontalAdvance("Mmmmm…");
  struct Case {
    QString caption, prefix;
  };
  const Case cases[] = {
      {"&Mmmmmmmmmmmmmmmmmmmm", "&M"},                // the key is shown: still marked
      {"Mmm&mmmmmmmmmmmmmmmmm", "Mmm&m"},
      {"Mmmmmmmmmmmmmmmmmmm(&L)", "Mmm"},             // the key is cut off: no mark left
      {"M&&mmmmmmmmmmmmmmmmmm&K", "M&&m"},            // a literal "&" stays literal
  };
  for (const auto& c : cases) {
    const QString fitted = FittedCaption(c.caption, metrics, narrow);
    EXPECT_TRUE(fitted.startsWith(c.prefix)) << fitted.toStdString();
    EXPECT_TRUE(fitted.endsWith(QChar(0x2026))) << fitted.toStdString();
    EXPECT_EQ(fitted.count('&') - 2 * fitted.count("&&"), c.prefix.count('&') - 2 * c.prefix.count("&&"))
        << fitted.toStdString();
  }
  EXPECT_EQ(FittedCaption("开始转换(&C)", metrics, 1000), "开始转换(&C)");
}

TEST_F(Skinned, ACutCaptionIsDrawnWithItsUnderline) {
  SkinAttach(form_);
  QPushButton marked("&Mmmmmmmmmmmmmmmmmmmmmmmm", form_->centralWidget());
  QPushButton plain("Mmmmmmmmmmmmmmmmmmmmmmmmm", form_->centralWidget());
  for (QPushButton* b : {&marked, &plain}) {
    b->setGeometry(0, 0, 60, 25);
    SkinAttach(b);
  }
  const QImage a = marked.property("HDC0").value<QImage>(), b = plain.property("HDC0").value<QImage>();
  int differ = 0;
  for (int y = 0; y < 25; ++y)
    for (int x = 0; x < 60; ++x) differ += Rgb(a, x, y) != Rgb(b, x, y);
  EXPECT_GT(differ, 2) << "the underline of the access key";
  SkinDetach(&marked);
  SkinDetach(&plain);
}

// A window manager may activate a dialog before, after or without deactivating its owner.
TEST_F(Skinned, DialogsOwnedByAHookedWindowAreSkinnedInAnyActivationOrder) {
  SkinAttach(form_);
  QDialog picker(form_);
  auto* ok = new QPushButton("确定", &picker);
  ok->setGeometry(10, 10, 60, 25);
  QEvent activate(QEvent::WindowActivate);
  QApplication::sendEvent(&picker, &activate);  // no deactivation of the form came first
  EXPECT_TRUE(picker.property("PROCADDR").isValid());
  EXPECT_TRUE(ok->property("PROCADDR").isValid());
  // A box owned by the dialog, activated later than its owner lost the activation.
  QMessageBox box(QMessageBox::Information, "操作提示", "请选择表！", QMessageBox::Ok, &picker);
  QApplication::sendEvent(&box, &activate);
  EXPECT_TRUE(box.property("PROCADDR").isValid());
  // A window nobody hooked owns is left alone.
  QDialog stranger;
  QApplication::sendEvent(&stranger, &activate);
  EXPECT_FALSE(stranger.property("PROCADDR").isValid());
  SkinDetach(&box);
  SkinDetach(&picker);
}

TEST_F(Skinned, MessageBoxesAreSkinnedWhileOpen) {
  SkinAttach(form_);
  QApplication::setActiveWindow(form_);
  QApplication::processEvents();
  const int before = ButtonCount();
  auto* box = new QMessageBox(QMessageBox::Information, "操作提示", "确定退出Rowcaster吗？（Y/N）",
                              QMessageBox::Yes | QMessageBox::No, form_);
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->open();
  QApplication::setActiveWindow(box);
  for (int i = 0; i < 10; ++i) QApplication::processEvents();
  EXPECT_EQ(ButtonCount(), before + 2) << "Yes and No are skinned";
  EXPECT_TRUE(box->property("PROCADDR").isValid());
  box->close();
  for (int i = 0; i < 10; ++i) QApplication::processEvents();
  QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_EQ(ButtonCount(), before) << "unskinned by their own destruction";
}

TEST_F(Skinned, DetachingUndoesEverything) {
  SkinAttach(form_);
  Send(a_, QEvent::MouseMove);
  SkinDetach(form_);
  EXPECT_EQ(ButtonCount(), 0);
  EXPECT_EQ(FormCount(), 0);
  EXPECT_TRUE(SkinAtlas().isNull());
  for (QPushButton* b : {a_, b_}) {
    for (const char* p : {"PROCADDR", "HDC0", "HDC3", "OLDSTATE", "TIMERID", "ALPHALEVEL", "MOUSEFLAG"})
      EXPECT_FALSE(b->property(p).isValid()) << p;
    EXPECT_TRUE(b->mask().isEmpty());
  }
  EXPECT_FALSE(edit_->property("PROCADDR").isValid());
  // The buttons paint as plain push buttons again: no skin colour at the top edge.
  EXPECT_NE(Rgb(a_->grab().toImage(), 37, 0), 0x1B8FD5u);
  // Skinning again builds a new atlas.
  SkinAttach(form_);
  EXPECT_FALSE(SkinAtlas().isNull());
}

}  // namespace
}  // namespace rowcaster::skin

namespace rowcaster::skin {
namespace {

TEST_F(Skinned, DetachingAWindowLeavesItsDialogsToThemselves) {
  SkinAttach(form_);
  QMessageBox box(QMessageBox::Information, "操作提示", "x", QMessageBox::Ok, form_);
  SkinAttach(&box);
  const int withBox = ButtonCount();
  SkinDetach(form_);  // must not touch the box's hooks
  EXPECT_EQ(ButtonCount(), withBox - 2);
  EXPECT_TRUE(box.property("PROCADDR").isValid());
  SkinDetach(&box);
  EXPECT_EQ(ButtonCount(), 0);
  EXPECT_EQ(FormCount(), 0);
}

}  // namespace
}  // namespace rowcaster::skin

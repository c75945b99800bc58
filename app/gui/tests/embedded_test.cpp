// The dialog as Horvalen starts it: a real X server (Xvfb, started by the
// test on a display it picks itself), a real native window standing for
// Horvalen's, and the real program started with a direction word and that
// window's id. The test sees what a person would: the windows on the screen
// and their pixels, and it clicks and types through the X test extension.
#include <gtest/gtest.h>
#include <xcb/xcb.h>
#include <xcb/xtest.h>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "test_support.hpp"

namespace thp::gui {
namespace {

namespace fs = std::filesystem;
using namespace testing;

constexpr int kPatienceMs = 60000;  // a sanitizer build starts slowly

template <class T>
using Reply = std::unique_ptr<T, decltype(&std::free)>;

template <class T>
Reply<T> reply(T* raw) {
  return Reply<T>(raw, &std::free);
}

// Polls until ready() holds or patience runs out.
bool waitFor(const std::function<bool()>& ready) {
  const QDeadlineTimer deadline(kPatienceMs);
  while (!ready()) {
    if (deadline.hasExpired()) return false;
    QThread::msleep(20);
  }
  return true;
}

struct Geometry {
  int x, y, width, height;
};

// A client of the X server: the test's eyes and hands.
class XClient {
 public:
  explicit XClient(const std::string& display) {
    connection_ = xcb_connect(display.c_str(), nullptr);
    if (xcb_connection_has_error(connection_) == 0)
      root_ = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data->root;
  }
  ~XClient() { xcb_disconnect(connection_); }
  XClient(const XClient&) = delete;
  XClient& operator=(const XClient&) = delete;

  bool connected() const { return xcb_connection_has_error(connection_) == 0; }
  xcb_window_t root() const { return root_; }

  // A plain top-level window, as the calling program's.
  xcb_window_t createWindow(Geometry g) {
    const xcb_window_t window = xcb_generate_id(connection_);
    const std::uint32_t background = 0x808080;
    xcb_create_window(connection_, XCB_COPY_FROM_PARENT, window, root_,
                      static_cast<std::int16_t>(g.x), static_cast<std::int16_t>(g.y),
                      static_cast<std::uint16_t>(g.width), static_cast<std::uint16_t>(g.height), 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, XCB_CW_BACK_PIXEL,
                      &background);
    xcb_map_window(connection_, window);
    xcb_flush(connection_);
    return window;
  }

  // An id no window has.
  xcb_window_t unusedId() { return xcb_generate_id(connection_); }

  std::vector<xcb_window_t> children(xcb_window_t window) {
    auto tree =
        reply(xcb_query_tree_reply(connection_, xcb_query_tree(connection_, window), nullptr));
    if (!tree) return {};
    const xcb_window_t* begin = xcb_query_tree_children(tree.get());
    return {begin, begin + xcb_query_tree_children_length(tree.get())};
  }

  bool viewable(xcb_window_t window) {
    auto attributes = reply(xcb_get_window_attributes_reply(
        connection_, xcb_get_window_attributes(connection_, window), nullptr));
    return attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE;
  }

  // A window a window manager would frame: not a popup (override-redirect)
  // and not a toolkit's helper window, which carries no WM_CLASS.
  bool managed(xcb_window_t window) {
    auto attributes = reply(xcb_get_window_attributes_reply(
        connection_, xcb_get_window_attributes(connection_, window), nullptr));
    return attributes && attributes->override_redirect == 0 &&
           !property(window, "WM_CLASS", "STRING").empty();
  }

  std::optional<xcb_window_t> viewableChild(xcb_window_t window) {
    for (const xcb_window_t child : children(window))
      if (viewable(child)) return child;
    return std::nullopt;
  }

  // Relative to the window's parent.
  Geometry geometry(xcb_window_t window) {
    auto g =
        reply(xcb_get_geometry_reply(connection_, xcb_get_geometry(connection_, window), nullptr));
    return g ? Geometry{g->x, g->y, g->width, g->height} : Geometry{-1, -1, 0, 0};
  }

  Geometry onScreen(xcb_window_t window) {
    Geometry g = geometry(window);
    auto translated = reply(xcb_translate_coordinates_reply(
        connection_, xcb_translate_coordinates(connection_, window, root_, 0, 0), nullptr));
    if (translated) g.x = translated->dst_x, g.y = translated->dst_y;
    return g;
  }

  std::string property(xcb_window_t window, const char* name, const char* type) {
    auto value = reply(xcb_get_property_reply(
        connection_, xcb_get_property(connection_, 0, window, atom(name), atom(type), 0, 1024),
        nullptr));
    if (!value) return {};
    const char* data = static_cast<const char*>(xcb_get_property_value(value.get()));
    return std::string(data, static_cast<std::size_t>(xcb_get_property_value_length(value.get())));
  }

  std::string title(xcb_window_t window) { return property(window, "_NET_WM_NAME", "UTF8_STRING"); }

  std::optional<xcb_window_t> transientFor(xcb_window_t window) {
    const std::string value = property(window, "WM_TRANSIENT_FOR", "WINDOW");
    if (value.size() != sizeof(xcb_window_t)) return std::nullopt;
    xcb_window_t owner = 0;
    std::memcpy(&owner, value.data(), sizeof owner);
    return owner;
  }

  // The viewable top-level window with this title, once it shows.
  std::optional<xcb_window_t> waitForTopLevel(const std::string& title) {
    std::optional<xcb_window_t> found;
    waitFor([&] {
      for (const xcb_window_t window : children(root_))
        if (viewable(window) && managed(window) && this->title(window) == title) found = window;
      return found.has_value();
    });
    return found;
  }

  QImage image(xcb_window_t window) {
    const Geometry g = geometry(window);
    auto picture =
        reply(xcb_get_image_reply(connection_,
                                  xcb_get_image(connection_, XCB_IMAGE_FORMAT_Z_PIXMAP, window, 0,
                                                0, static_cast<std::uint16_t>(g.width),
                                                static_cast<std::uint16_t>(g.height), ~0u),
                                  nullptr));
    if (!picture || picture->depth != 24) return {};
    return QImage(xcb_get_image_data(picture.get()), g.width, g.height, QImage::Format_RGB32)
        .copy();
  }

  void click(int x, int y) {
    moveTo(x, y);
    fake(XCB_BUTTON_PRESS, 1);
    fake(XCB_BUTTON_RELEASE, 1);
    xcb_flush(connection_);
  }

  // Points at a window, so it has the keyboard, and types: plain characters
  // and the X key symbols given as numbers in keys.
  void type(xcb_window_t window, const std::string& text, std::vector<std::uint32_t> keys = {}) {
    const Geometry g = onScreen(window);
    moveTo(g.x + g.width / 2, g.y + g.height / 2);
    for (const char c : text) key(static_cast<unsigned char>(c));
    for (const std::uint32_t symbol : keys) key(symbol);
    xcb_flush(connection_);
  }

  // Asks a top-level window to close, as a window manager's close button does.
  void requestClose(xcb_window_t window) {
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = window;
    event.type = atom("WM_PROTOCOLS");
    event.data.data32[0] = atom("WM_DELETE_WINDOW");
    event.data.data32[1] = XCB_CURRENT_TIME;
    xcb_send_event(connection_, 0, window, XCB_EVENT_MASK_NO_EVENT,
                   reinterpret_cast<const char*>(&event));
    xcb_flush(connection_);
  }

 private:
  xcb_atom_t atom(const char* name) {
    auto interned = reply(xcb_intern_atom_reply(
        connection_,
        xcb_intern_atom(connection_, 0, static_cast<std::uint16_t>(std::strlen(name)), name),
        nullptr));
    return interned ? interned->atom : xcb_atom_t{XCB_ATOM_NONE};
  }

  void moveTo(int x, int y) {
    xcb_test_fake_input(connection_, XCB_MOTION_NOTIFY, 0, XCB_CURRENT_TIME, root_,
                        static_cast<std::int16_t>(x), static_cast<std::int16_t>(y), 0);
  }

  void fake(std::uint8_t type, std::uint8_t detail) {
    xcb_test_fake_input(connection_, type, detail, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
  }

  void key(std::uint32_t symbol) {
    const xcb_setup_t* setup = xcb_get_setup(connection_);
    const std::uint8_t first = setup->min_keycode;
    const std::uint8_t count = static_cast<std::uint8_t>(setup->max_keycode - first + 1);
    auto mapping = reply(xcb_get_keyboard_mapping_reply(
        connection_, xcb_get_keyboard_mapping(connection_, first, count), nullptr));
    ASSERT_TRUE(mapping);
    const xcb_keysym_t* symbols = xcb_get_keyboard_mapping_keysyms(mapping.get());
    const int perCode = mapping->keysyms_per_keycode;
    std::optional<std::uint8_t> shift;
    for (int code = 0; code < count; ++code)
      if (symbols[code * perCode] == 0xffe1) shift = static_cast<std::uint8_t>(first + code);
    for (int code = 0; code < count; ++code) {
      for (int level = 0; level < std::min(perCode, 2); ++level) {
        if (symbols[code * perCode + level] != symbol) continue;
        const auto keycode = static_cast<std::uint8_t>(first + code);
        if (level == 1) {
          ASSERT_TRUE(shift);
          fake(XCB_KEY_PRESS, *shift);
        }
        fake(XCB_KEY_PRESS, keycode);
        fake(XCB_KEY_RELEASE, keycode);
        if (level == 1) fake(XCB_KEY_RELEASE, *shift);
        xcb_flush(connection_);
        QThread::msleep(10);
        return;
      }
    }
    FAIL() << "no key for symbol " << symbol;
  }

  xcb_connection_t* connection_ = nullptr;
  xcb_window_t root_ = 0;
};

constexpr std::uint32_t kReturn = 0xff0d;
constexpr std::uint32_t kEscape = 0xff1b;

// A virtual X server on a display number it picks itself, so tests that run
// side by side do not meet.
class XServer {
 public:
  XServer() {
    process_.setProgram(QStringLiteral("Xvfb"));
    process_.setArguments({"-displayfd", "1", "-screen", "0", "1024x768x24", "-nolisten", "tcp"});
    process_.setProcessChannelMode(QProcess::SeparateChannels);
    process_.start();
    if (!process_.waitForStarted(kPatienceMs)) return;
    while (!process_.canReadLine() && process_.waitForReadyRead(kPatienceMs)) {
    }
    const QByteArray number = process_.readLine().trimmed();
    if (!number.isEmpty()) display_ = ":" + number.toStdString();
  }
  ~XServer() {
    process_.terminate();
    if (!process_.waitForFinished(10000)) process_.kill();
    process_.waitForFinished(10000);
  }
  XServer(const XServer&) = delete;
  XServer& operator=(const XServer&) = delete;

  const std::string& display() const { return display_; }

 private:
  QProcess process_;
  std::string display_;
};

// Near the top of a panel its gradient is still close to its warm start
// colour; the strip is blue all the way down.
bool isWarm(QRgb c) { return qRed(c) >= 240 && qBlue(c) <= 180; }
bool isStrip(QRgb c) { return qBlue(c) >= 225 && qRed(c) <= 215; }

// Label4 starts at 8, Label3 at 24: text in between tells the panels apart.
bool textNearLeftEdge(const QImage& picture) {
  for (int y = 24; y < 48; ++y)
    for (int x = 8; x < 20; ++x)
      if (qGray(picture.pixel(x, y)) < 100) return true;
  return false;
}

// Horvalen.ini as the calling program keeps it: its own settings, Windows-1252, CRLF.
constexpr const char* kOtherSettings =
    "; Horval: ajustes del centro\r\n[General]\r\nCentro=IES R\xEDo Lozoya\r\n\r\n"
    "[Transformadores]\r\nTransformado=9\r\nVersion=7\r\n";

class EmbeddedTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (QStandardPaths::findExecutable("Xvfb").isEmpty()) GTEST_SKIP() << "Xvfb is not installed";
    server_ = std::make_unique<XServer>();
    ASSERT_FALSE(server_->display().empty()) << "Xvfb did not start";
    x_ = std::make_unique<XClient>(server_->display());
    ASSERT_TRUE(x_->connected());
    caller_ = x_->createWindow(kCaller);

    fs::create_directories(htemp_);
    fs::create_directories(programDir_);
    // The program writes Horvalen.ini beside itself: a copy of its own per test.
    fs::copy_file(THP_DIALOG, program_);
    copyExchangeDocument(dir_ / "instituto.xml");
  }

  void TearDown() override {
    if (dialog_.state() != QProcess::NotRunning) {
      dialog_.kill();
      dialog_.waitForFinished(10000);
    }
  }

  void start(const QStringList& arguments) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DISPLAY", QString::fromStdString(server_->display()));
    env.insert("QT_QPA_PLATFORM", "xcb");
    env.insert("TRANSHORVAL_HTEMP", QString::fromStdString(htemp_.string()));
    fs::create_directories(dir_ / "runtime");
    fs::permissions(dir_ / "runtime", fs::perms::owner_all);
    env.insert("XDG_RUNTIME_DIR", QString::fromStdString((dir_ / "runtime").string()));
    dialog_.setProcessEnvironment(env);
    dialog_.setWorkingDirectory(QString::fromStdString(dir_.path().string()));
    dialog_.setProgram(QString::fromStdString(program_.string()));
    dialog_.setArguments(arguments);
    dialog_.setProcessChannelMode(QProcess::ForwardedChannels);
    dialog_.start();
    ASSERT_TRUE(dialog_.waitForStarted(kPatienceMs));
  }

  QStringList embeddedIn(const char* word) {
    return {word, QString::number(caller_, 16).toUpper()};
  }

  // The dialog's window inside the caller's, once it shows and has painted.
  xcb_window_t embeddedDialog() {
    std::optional<xcb_window_t> dialog;
    EXPECT_TRUE(waitFor([&] { return (dialog = x_->viewableChild(caller_)).has_value(); }))
        << "no window appeared inside the caller's";
    if (!dialog) return 0;
    EXPECT_TRUE(waitFor([&] {
      const QImage picture = x_->image(caller_);
      const QRgb background = 0xff808080;
      return !picture.isNull() && isWarm(picture.pixel(5, 2)) &&
             picture.pixel(630, 260) != background;
    })) << "the dialog did not paint";
    return *dialog;
  }

  void screenshot(xcb_window_t window, const char* name) {
    fs::create_directories(THP_SCREENSHOT_DIR);
    EXPECT_TRUE(x_->image(window).save(QStringLiteral(THP_SCREENSHOT_DIR "/") + name)) << name;
  }

  void screenshotOfScreen(const char* name) { screenshot(x_->root(), name); }

  void clickInDialog(xcb_window_t dialog, int x, int y) {
    const Geometry g = x_->onScreen(dialog);
    x_->click(g.x + x, g.y + y);
  }

  // A message box of the program, once it shows; it belongs to the caller's window.
  xcb_window_t messageBox() {
    const auto box = x_->waitForTopLevel("TransHorvalPladuna");
    EXPECT_TRUE(box) << "no message box";
    return box.value_or(0);
  }

  int exitCode() {
    EXPECT_TRUE(dialog_.waitForFinished(kPatienceMs)) << "the program did not end";
    EXPECT_EQ(dialog_.exitStatus(), QProcess::NormalExit);
    return dialog_.exitCode();
  }

  std::string ini() { return readFile(programDir_ / "Horvalen.ini"); }

  static constexpr Geometry kCaller{40, 30, 760, 420};
  ScratchDir dir_;
  fs::path htemp_ = dir_ / "HTEMP";
  fs::path programDir_ = dir_ / "programa";
  fs::path program_ = programDir_ / "TransHorvalPladuna";
  std::unique_ptr<XServer> server_;
  std::unique_ptr<XClient> x_;
  xcb_window_t caller_ = 0;
  QProcess dialog_;
};

std::string settingsWith(std::string_view value) {
  std::string expected = kOtherSettings;
  expected.replace(expected.find("Transformado=9"), 14, "Transformado=" + std::string(value));
  return expected;
}

TEST_F(EmbeddedTest, ExportPanelAloneRunsOnceAndLeavesOne) {
  writeFile(programDir_ / "Horvalen.ini", kOtherSettings);
  start(embeddedIn("EXPORTAR"));
  const xcb_window_t dialog = embeddedDialog();
  ASSERT_NE(dialog, 0u);
  const Geometry g = x_->geometry(dialog);
  EXPECT_EQ(g.x, 0);
  EXPECT_EQ(g.y, 0);
  EXPECT_EQ(g.width, 632);
  EXPECT_EQ(g.height, 266);

  screenshot(caller_, "embedded-export.png");
  const QImage picture = x_->image(dialog);
  // The export panel fills the dialog: no import panel beside it and no gap
  // between them, no strip below.
  EXPECT_TRUE(isWarm(picture.pixel(315, 10))) << std::hex << picture.pixel(315, 10);
  EXPECT_TRUE(isWarm(picture.pixel(600, 10))) << std::hex << picture.pixel(600, 10);
  EXPECT_FALSE(isStrip(picture.pixel(150, 180))) << std::hex << picture.pixel(150, 180);
  EXPECT_FALSE(isStrip(picture.pixel(600, 250))) << std::hex << picture.pixel(600, 250);
  EXPECT_FALSE(textNearLeftEdge(picture)) << "the import panel's label";

  clickInDialog(dialog, 96 + 44, 120 + 12);
  const auto files = x_->waitForTopLevel("Archivo XML");
  ASSERT_TRUE(files) << "the export asks for the document first";
  EXPECT_EQ(x_->transientFor(*files), caller_);
  x_->type(*files, "instituto.xml", {kReturn});

  const xcb_window_t done = messageBox();
  EXPECT_EQ(x_->transientFor(done), caller_);
  screenshotOfScreen("embedded-export-finished.png");
  x_->type(done, "", {kReturn});

  EXPECT_EQ(exitCode(), 0);
  EXPECT_EQ(ini(), settingsWith("1"));
  EXPECT_EQ(entriesOf(htemp_).size(), 6u);
}

TEST_F(EmbeddedTest, ImportPanelAloneReportsAMissingSolutionWithMinusOne) {
  writeFile(programDir_ / "Horvalen.ini", kOtherSettings);
  start(embeddedIn("importar"));
  const xcb_window_t dialog = embeddedDialog();
  ASSERT_NE(dialog, 0u);
  EXPECT_EQ(x_->geometry(dialog).x, 0);
  EXPECT_EQ(x_->geometry(dialog).y, 0);
  screenshot(caller_, "embedded-import.png");
  const QImage picture = x_->image(dialog);
  EXPECT_TRUE(isWarm(picture.pixel(315, 10))) << std::hex << picture.pixel(315, 10);
  EXPECT_FALSE(isStrip(picture.pixel(150, 180))) << std::hex << picture.pixel(150, 180);
  EXPECT_TRUE(textNearLeftEdge(picture)) << "the import panel's label";

  clickInDialog(dialog, 96 + 44, 120 + 12);
  const xcb_window_t reminder = messageBox();
  EXPECT_EQ(x_->transientFor(reminder), caller_);
  screenshotOfScreen("embedded-import-reminder.png");
  x_->type(reminder, "", {kReturn});

  const auto files = x_->waitForTopLevel("Archivo XML");
  ASSERT_TRUE(files);
  x_->type(*files, "", {kEscape});
  const xcb_window_t missing = messageBox();
  x_->type(missing, "", {kReturn});

  EXPECT_EQ(exitCode(), 0);
  EXPECT_EQ(ini(), settingsWith("-1"));
}

TEST_F(EmbeddedTest, OtherWordKeepsBothPanelsAndSalirLeavesZero) {
  start(embeddedIn("otra"));
  const xcb_window_t dialog = embeddedDialog();
  ASSERT_NE(dialog, 0u);
  EXPECT_EQ(x_->geometry(dialog).x, 0);
  EXPECT_EQ(x_->geometry(dialog).y, 0);
  screenshot(caller_, "embedded-both.png");
  const QImage picture = x_->image(dialog);
  EXPECT_TRUE(isStrip(picture.pixel(150, 180))) << std::hex << picture.pixel(150, 180);
  EXPECT_FALSE(isWarm(picture.pixel(315, 10))) << "the gap between the panels";
  EXPECT_TRUE(isWarm(picture.pixel(600, 10))) << std::hex << picture.pixel(600, 10);

  clickInDialog(dialog, 256 + 44, 168 + 32 + 12);  // "&Salir"
  EXPECT_EQ(exitCode(), 0);
  EXPECT_EQ(ini(), "[Transformadores]\r\nTransformado=0\r\n") << "created when absent";
}

TEST_F(EmbeddedTest, UnwritableResultFileKeepsTheDialogOpen) {
  fs::create_directory(programDir_ / "Horvalen.ini");
  start(embeddedIn("otra"));
  const xcb_window_t dialog = embeddedDialog();
  ASSERT_NE(dialog, 0u);

  clickInDialog(dialog, 256 + 44, 168 + 32 + 12);
  const xcb_window_t error = messageBox();
  screenshotOfScreen("embedded-unable-to-write.png");
  x_->type(error, "", {kReturn});
  ASSERT_TRUE(waitFor([&] { return !x_->viewable(error); }));
  EXPECT_TRUE(x_->viewable(dialog)) << "the close is abandoned";
  EXPECT_EQ(dialog_.state(), QProcess::Running);

  fs::remove(programDir_ / "Horvalen.ini");
  clickInDialog(dialog, 256 + 44, 168 + 32 + 12);
  EXPECT_EQ(exitCode(), 0);
  EXPECT_EQ(ini(), "[Transformadores]\r\nTransformado=0\r\n");
}

TEST_F(EmbeddedTest, HandleOfNoWindowIsReportedAndTheDialogOpensOnItsOwn) {
  start({"exportar", QString::number(x_->unusedId(), 16)});
  const xcb_window_t error = messageBox();
  EXPECT_NE(x_->transientFor(error), caller_) << "it belongs to no caller";
  x_->type(error, "", {kReturn});

  const auto dialog = x_->waitForTopLevel("Exportar e importar datos entre Horvalen y PLADUNA");
  ASSERT_TRUE(dialog) << "the interactive dialog did not open";
  EXPECT_EQ(x_->geometry(*dialog).width, 632);
  EXPECT_EQ(x_->geometry(*dialog).height, 266);
  EXPECT_FALSE(x_->viewableChild(caller_)) << "nothing went into the caller's window";
  screenshotOfScreen("dialog-on-its-own.png");

  x_->requestClose(*dialog);
  EXPECT_EQ(exitCode(), 0);
  EXPECT_FALSE(fs::exists(programDir_ / "Horvalen.ini"));
}

}  // namespace
}  // namespace thp::gui

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (::testing::GTEST_FLAG(list_tests)) return RUN_ALL_TESTS();
  QCoreApplication app(argc, argv);  // for QProcess
  return RUN_ALL_TESTS();
}

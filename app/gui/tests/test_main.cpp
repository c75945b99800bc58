// The dialog tests run on Qt's offscreen platform: real widgets, real modal
// loops, no display needed.
#include <gtest/gtest.h>
#include <QApplication>

#include <cstdio>

#include "app/gui/application.hpp"

namespace {

// The offscreen platform says for every dialog that it cannot size windows
// to their contents; nothing the tests look at.
QtMessageHandler next = nullptr;

void quietOffscreenNotes(QtMsgType type, const QMessageLogContext& context, const QString& text) {
  if (text.contains(QLatin1String("does not support propagateSizeHints"))) return;
  if (next != nullptr)
    next(type, context, text);
  else
    std::fprintf(stderr, "%s\n", qPrintable(text));
}

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (::testing::GTEST_FLAG(list_tests)) return RUN_ALL_TESTS();

  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  thp::gui::application::initialise(app);
  next = qInstallMessageHandler(quietOffscreenNotes);
  return RUN_ALL_TESTS();
}

// The Qt tests' main: one QApplication for the process, offscreen unless
// the environment names a platform, and every warning of Qt's model tester
// a test failure.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <QApplication>
#include <cstring>

namespace {

QtMessageHandler previous = nullptr;

void handler(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  if (context.category && std::strcmp(context.category, "qt.modeltest") == 0 && type >= QtWarningMsg)
    ADD_FAILURE() << "model tester: " << message.toStdString();
  if (previous) previous(type, context, message);
}

}  // namespace

int main(int argc, char** argv) {
  // Listing the tests must work without a display too.
  ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication application(argc, argv);
  previous = qInstallMessageHandler(handler);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}

// tavrin: the window an engineer starts. Everything is in tavrin_gui; this
// only makes the application and shows the main window for the program
// folder: the folder this executable was started from (links kept, so a
// per-user folder of links into an installed one is the user's), or the
// one --folder names (as tavrin-cli's), so that a training folder can sit
// anywhere. --screenshots DIR runs the scripted start (scripted_start.h).
#include <unistd.h>

#include <QApplication>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QWidget>
#include <clocale>
#include <cstdlib>
#include <optional>
#include <string>

#include "main_window.h"
#include "platform/program_folder.h"
#include "scripted_start.h"

namespace {

struct Options {
  std::string folder;
  QString screenshots;
};

// Parses the command line; --help and --version print and end the program
// here, before anything needs a display.
Options parse(const QStringList& arguments) {
  QCommandLineParser parser;
  parser.setApplicationDescription(QStringLiteral("Commissioning of pressure and temperature transmitters"));
  parser.addHelpOption();
  parser.addVersionOption();
  const QCommandLineOption folderOption(QStringLiteral("folder"),
                                        QStringLiteral("Program folder (default: the folder of this program)."),
                                        QStringLiteral("DIR"));
  parser.addOption(folderOption);
  const QCommandLineOption screenshotsOption(
      QStringLiteral("screenshots"),
      QStringLiteral("Connect, read, save pictures of the window into DIR and quit (status 0 when all worked)."),
      QStringLiteral("DIR"));
  parser.addOption(screenshotsOption);
  {
    // QApplication has not taken its own options out yet ("-platform
    // offscreen", "-style fusion").
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    for (const char* name : {"platform", "display", "style", "stylesheet", "qwindowgeometry", "qwindowtitle",
                             "qwindowicon", "platformpluginpath", "platformtheme"}) {
      QCommandLineOption qt(QString::fromLatin1(name), QString(), QStringLiteral("value"));
      qt.setFlags(QCommandLineOption::HiddenFromHelp);
      parser.addOption(qt);
    }
    for (const char* name : {"reverse", "nograb", "dograb", "sync"}) {
      QCommandLineOption qt(QString::fromLatin1(name));
      qt.setFlags(QCommandLineOption::HiddenFromHelp);
      parser.addOption(qt);
    }
  }
  parser.process(arguments);

  Options options;
  if (parser.isSet(folderOption)) {
    const QByteArray given = parser.value(folderOption).toLocal8Bit();
    options.folder.assign(given.constData(), static_cast<size_t>(given.size()));
    if (!options.folder.empty() && options.folder.back() != '/') options.folder += '/';
  }
  if (parser.isSet(screenshotsOption)) options.screenshots = parser.value(screenshotsOption);
  return options;
}

// TAVRIN_FIRST_PAINT_FD=N: one line to descriptor N when the main window
// has painted for the first time, so that a benchmark that starts this
// executable can time the whole start as a user waits for it (loading of
// the libraries and the platform plugin included).
class FirstPaintReport : public QObject {
 public:
  FirstPaintReport(QWidget& window, int fd) : window_(window), fd_(fd) { qApp->installEventFilter(this); }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    // The window's own area is covered by its children, which are painted
    // in its place.
    if (fd_ >= 0 && event->type() == QEvent::Paint && watched->isWidgetType() &&
        static_cast<QWidget*>(watched)->window() == &window_) {
      // Queued, so that the line leaves once the whole window is painted.
      QMetaObject::invokeMethod(
          this,
          [this] {
            if (fd_ < 0) return;
            static constexpr char kLine[] = "painted\n";
            [[maybe_unused]] const ssize_t written = ::write(fd_, kLine, sizeof kLine - 1);
            ::close(fd_);
            fd_ = -1;
            qApp->removeEventFilter(this);
          },
          Qt::QueuedConnection);
    }
    return false;
  }

 private:
  QWidget& window_;
  int fd_;
};

std::optional<int> firstPaintDescriptor() {
  const char* given = std::getenv("TAVRIN_FIRST_PAINT_FD");
  if (given == nullptr || *given == '\0') return std::nullopt;
  char* end = nullptr;
  const long fd = std::strtol(given, &end, 10);
  ::unsetenv("TAVRIN_FIRST_PAINT_FD");
  if (*end != '\0' || fd < 0 || fd > 65535) return std::nullopt;
  return static_cast<int>(fd);
}

void describeApplication() {
  QCoreApplication::setApplicationName(QStringLiteral("Tavrin"));
  QCoreApplication::setApplicationVersion(QStringLiteral(TAVRIN_VERSION));
}

}  // namespace

int main(int argc, char** argv) {
  // The command line is read before anything needs a display: --help,
  // --version and a mistake answer on a terminal without a desktop too.
  Options options;
  {
    QCoreApplication core(argc, argv);
    describeApplication();
    options = parse(QCoreApplication::arguments());
  }

  QApplication application(argc, argv);
  // Qt took the locale from the environment; the core writes and reads
  // numbers with printf and strtod (display formats, methods, settings
  // files), which must not turn 2.5 into "2,5".
  std::setlocale(LC_NUMERIC, "C");
  describeApplication();
  QApplication::setDesktopFileName(QStringLiteral("tavrin"));
  if (options.folder.empty()) options.folder = tavrin::platform::startedFolder(argv[0], std::getenv("PATH"));

  tavrin::gui::MainWindow window(tavrin::app::ProgramFiles{options.folder});
  std::optional<FirstPaintReport> firstPaint;
  if (const auto fd = firstPaintDescriptor()) firstPaint.emplace(window, *fd);
  window.show();
  std::optional<tavrin::gui::ScriptedStart> scripted;
  if (!options.screenshots.isEmpty()) {
    scripted.emplace(window, options.screenshots);
    scripted->start();
  }
  return application.exec();
}

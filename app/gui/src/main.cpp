// tavrin: the window an engineer starts. Everything is in tavrin_gui; this
// only makes the application and shows the main window for the program
// folder: the folder this executable was started from (links kept, so a
// per-user folder of links into an installed one is the user's), or the
// one --folder names (as tavrin-cli's), so that a training folder can sit
// anywhere. --screenshots DIR runs the scripted start (scripted_start.h).
#include <QApplication>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <clocale>
#include <cstdlib>
#include <cstring>
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
Options parse(const QStringList& arguments, bool qtOptionsKept) {
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
  if (qtOptionsKept) {
    // QApplication has not taken its own options out yet.
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

void describeApplication() {
  QCoreApplication::setApplicationName(QStringLiteral("Tavrin"));
  QCoreApplication::setApplicationVersion(QStringLiteral(TAVRIN_VERSION));
}

}  // namespace

int main(int argc, char** argv) {
  // --help and --version answer without a display: the package's test and
  // a terminal without a desktop ask them.
  for (int i = 1; i < argc; ++i) {
    const char* a = argv[i];
    if (std::strcmp(a, "--") == 0) break;
    if (std::strcmp(a, "--help") == 0 || std::strcmp(a, "-h") == 0 || std::strcmp(a, "--help-all") == 0 ||
        std::strcmp(a, "--version") == 0 || std::strcmp(a, "-v") == 0) {
      QCoreApplication core(argc, argv);
      describeApplication();
      parse(QCoreApplication::arguments(), true);
      return 0;
    }
  }

  QApplication application(argc, argv);
  // Qt took the locale from the environment; the core writes and reads
  // numbers with printf and strtod (display formats, methods, settings
  // files), which must not turn 2.5 into "2,5".
  std::setlocale(LC_NUMERIC, "C");
  describeApplication();
  QApplication::setDesktopFileName(QStringLiteral("tavrin"));

  Options options = parse(QApplication::arguments(), false);
  if (options.folder.empty()) options.folder = tavrin::platform::startedFolder(argv[0], std::getenv("PATH"));

  tavrin::gui::MainWindow window(tavrin::app::ProgramFiles{options.folder});
  window.show();
  std::optional<tavrin::gui::ScriptedStart> scripted;
  if (!options.screenshots.isEmpty()) {
    scripted.emplace(window, options.screenshots);
    scripted->start();
  }
  return application.exec();
}

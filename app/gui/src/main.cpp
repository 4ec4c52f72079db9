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
  window.show();
  std::optional<tavrin::gui::ScriptedStart> scripted;
  if (!options.screenshots.isEmpty()) {
    scripted.emplace(window, options.screenshots);
    scripted->start();
  }
  return application.exec();
}

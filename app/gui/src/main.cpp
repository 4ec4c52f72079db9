// tavrin: the window an engineer starts. Everything is in tavrin_gui; this
// only makes the application and shows the main window for the program
// folder: the folder this executable lives in, or the one --folder names
// (as tavrin-cli's), so that a training folder can sit anywhere.
#include <QApplication>
#include <QCommandLineParser>

#include "main_window.h"
#include "platform/program_folder.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Tavrin"));
  QApplication::setApplicationVersion(QStringLiteral(TAVRIN_VERSION));
  QApplication::setDesktopFileName(QStringLiteral("tavrin"));

  QCommandLineParser parser;
  parser.setApplicationDescription(QStringLiteral("Commissioning of pressure and temperature transmitters"));
  parser.addHelpOption();
  parser.addVersionOption();
  const QCommandLineOption folderOption(QStringLiteral("folder"),
                                        QStringLiteral("Program folder (default: the folder of this program)."),
                                        QStringLiteral("DIR"));
  parser.addOption(folderOption);
  parser.process(application);

  std::string folder = tavrin::platform::executableFolder();
  if (parser.isSet(folderOption)) {
    const QByteArray given = parser.value(folderOption).toUtf8();
    folder.assign(given.constData(), static_cast<size_t>(given.size()));
    if (!folder.empty() && folder.back() != '/') folder += '/';
  }
  tavrin::gui::MainWindow window(tavrin::app::ProgramFiles{folder});
  window.show();
  return application.exec();
}

#include "scripted_start.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QEvent>
#include <QEventLoop>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QPointer>
#include <QRadioButton>
#include <QTimer>
#include <cstdio>
#include <cstdlib>

#include "bus_monitor_pane.h"
#include "device_window.h"
#include "main_window.h"
#include "progress_dialog.h"

namespace tavrin::gui {

namespace {

// "USER choice" -> "user-choice": a file name a person can read.
QString fileNameOf(const QString& title) {
  QString out;
  for (const QChar c : title.toLower()) {
    if (c.isLetterOrNumber() && c.unicode() < 128) {
      out += c;
    } else if (!out.isEmpty() && !out.endsWith(QLatin1Char('-'))) {
      out += QLatin1Char('-');
    }
  }
  while (out.endsWith(QLatin1Char('-'))) out.chop(1);
  return out.isEmpty() ? QStringLiteral("dialog") : out;
}

}  // namespace

ScriptedStart::ScriptedStart(MainWindow& window, QString folder) : window_(window), folder_(std::move(folder)) {
  qApp->installEventFilter(this);
}

ScriptedStart::~ScriptedStart() { qApp->removeEventFilter(this); }

void ScriptedStart::start() {
  QTimer::singleShot(0, this, [this] { run(); });
  // Whatever happens on the way, the start ends: the demo and the
  // package's test must never hang on it.
  QTimer::singleShot(kLimitMs, this, [this] {
    fail(QStringLiteral("the scripted start did not end within %1 s").arg(kLimitMs / 1000));
    std::fflush(stderr);
    std::_Exit(1);
  });
}

void ScriptedStart::settle(int milliseconds) {
  QEventLoop loop;
  QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
  loop.exec();
}

void ScriptedStart::picture(QWidget& widget, const QString& name) {
  if (!QDir().mkpath(folder_)) {
    fail(QStringLiteral("cannot make the folder ") + folder_);
    return;
  }
  const QString file = name + QStringLiteral(".png");
  if (!widget.grab().save(QDir(folder_).filePath(file))) {
    fail(QStringLiteral("cannot save ") + QDir(folder_).filePath(file));
    return;
  }
  pictures_ << file;
}

void ScriptedStart::fail(const QString& what) {
  failures_ << what;
  std::fprintf(stderr, "tavrin: %s\n", what.toLocal8Bit().constData());
}

bool ScriptedStart::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::Show && watched->isWidgetType()) {
    auto* dialog = qobject_cast<QDialog*>(watched);
    // The progress dialog ends by itself.
    if (dialog && dialog->isWindow() && !qobject_cast<ProgressDialog*>(dialog)) {
      QPointer<QDialog> d(dialog);
      // Inside the dialog's own event loop, once it has been laid out.
      QTimer::singleShot(50, dialog, [this, d] {
        if (d && d->isVisible()) answer(*d);
      });
    }
  }
  return QObject::eventFilter(watched, event);
}

void ScriptedStart::answer(QDialog& dialog) {
  const QString title = dialog.windowTitle();
  picture(dialog, QStringLiteral("dialog-%1-%2").arg(++dialogCount_).arg(fileNameOf(title)));
  if (auto* box = qobject_cast<QMessageBox*>(&dialog)) {
    if (box->icon() == QMessageBox::Critical || box->icon() == QMessageBox::Warning)
      fail(title + QStringLiteral(": ") + box->text());
    QAbstractButton* button = box->defaultButton();
    if (!button && !box->buttons().isEmpty()) button = box->buttons().constFirst();
    if (button) {
      button->click();
    } else {
      box->reject();
    }
    return;
  }
  // A choice takes its first entry unless one is chosen already.
  if (auto* list = dialog.findChild<QListWidget*>(); list && list->count() > 0 && list->currentRow() < 0)
    list->setCurrentRow(0);
  if (auto* combo = dialog.findChild<QComboBox*>(); combo && combo->count() > 0 && combo->currentIndex() < 0)
    combo->setCurrentIndex(0);
  const QList<QRadioButton*> radios = dialog.findChildren<QRadioButton*>();
  bool checked = false;
  for (QRadioButton* r : radios) checked = checked || r->isChecked();
  if (!checked && !radios.isEmpty()) radios.constFirst()->setChecked(true);
  dialog.accept();
  // A dialog that refused the answer (its own message said why) would wait
  // for a person for ever.
  QPointer<QDialog> d(&dialog);
  QTimer::singleShot(kRefusedMs, this, [this, d, title] {
    if (!d || !d->isVisible()) return;
    fail(QStringLiteral("the dialog \"%1\" did not take its proposal").arg(title));
    d->reject();
  });
}

void ScriptedStart::run() {
  DeviceWindow& device = *window_.deviceWindow();
  settle(200);
  picture(window_, QStringLiteral("window"));

  window_.action(ActionId::Connect)->trigger();
  if (!device.session().connected()) {
    fail(QStringLiteral("Connect did not connect (see com.ini in the program folder)"));
  } else {
    settle(100);
    picture(window_, QStringLiteral("connected"));
    window_.action(ActionId::Read)->trigger();
    settle(100);
    picture(window_, QStringLiteral("parameter-table"));
    // The views the description offers, then back to the table.
    for (auto [id, name] : {std::pair{ActionId::Function, "function-view"},
                            std::pair{ActionId::Calibration, "calibration-view"}}) {
      QAction* view = window_.action(id);
      if (!view->isEnabled()) continue;
      view->trigger();
      settle(100);
      picture(window_, QString::fromLatin1(name));
    }
    if (window_.action(ActionId::Parameter)->isEnabled()) window_.action(ActionId::Parameter)->trigger();
    // The bus monitor takes its frames every 100 ms.
    window_.action(ActionId::BusMonitor)->setChecked(true);
    settle(400);
    picture(window_, QStringLiteral("bus-monitor"));
    window_.action(ActionId::BusMonitor)->setChecked(false);
  }
  std::fprintf(stderr, "tavrin: %lld pictures in %s\n", static_cast<long long>(pictures_.size()),
               QDir(folder_).absolutePath().toLocal8Bit().constData());
  window_.close();
  QApplication::exit(exitStatus());
}

}  // namespace tavrin::gui

#include "qt_user_interface.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QMetaObject>
#include <exception>
#include <thread>

#include "plain_dialogs.h"
#include "progress_dialog.h"
#include "user_dialogs.h"
#include "value_dialogs.h"

namespace tavrin::gui {

QStringList qtFileFilters(std::string_view filter) {
  QStringList parts = qtText(filter).split(QLatin1Char('|'));
  QStringList out;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    const QString name = parts[i].trimmed();
    QString patterns = parts[i + 1].trimmed();
    if (patterns.isEmpty()) continue;  // the "||" at the end, or a name without patterns
    // The program's patterns were written for a file system that ignores
    // case: "*.TXT" must find "set.txt" here too.
    QStringList list;
    for (const QString& p : patterns.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
      for (const QString& form : {p.trimmed(), p.trimmed().toLower(), p.trimmed().toUpper()})
        if (!list.contains(form)) list << form;
    }
    const QString joined = list.join(QLatin1Char(' '));
    // Qt reads the patterns from the parentheses of the name; a name that
    // has none gets the entry's own.
    const QString filter = name.contains(QLatin1Char('(')) ? name : QStringLiteral("%1 (%2)").arg(name, joined);
    if (!out.contains(filter)) out << filter;
  }
  return out;
}

QtUserInterface::QtUserInterface(QObject* parent) : QObject(parent) {}

template <class F>
auto QtUserInterface::answered(F f) -> decltype(f()) {
  if (onGuiThread()) return f();
  using R = decltype(f());
  if constexpr (std::is_void_v<R>) {
    QMetaObject::invokeMethod(this, f, Qt::BlockingQueuedConnection);
  } else {
    R result{};
    QMetaObject::invokeMethod(this, [&] { result = f(); }, Qt::BlockingQueuedConnection);
    return result;
  }
}

QWidget* QtUserInterface::dialogParent() const {
  if (QWidget* modal = QApplication::activeModalWidget()) return modal;
  return owner_;
}

ui::Answer QtUserInterface::message(const ui::Message& m) {
  return answered([this, m] {
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    switch (m.icon) {
      case ui::Icon::None: break;
      case ui::Icon::Error: icon = QMessageBox::Critical; break;
      case ui::Icon::Warning: icon = QMessageBox::Warning; break;
      case ui::Icon::Information: icon = QMessageBox::Information; break;
      case ui::Icon::Question: icon = QMessageBox::Question; break;
    }
    QMessageBox::StandardButtons buttons = QMessageBox::Ok;
    QMessageBox::StandardButton escape = QMessageBox::Ok;
    switch (m.buttons) {
      case ui::Buttons::Ok: break;
      case ui::Buttons::OkCancel:
        buttons = QMessageBox::Ok | QMessageBox::Cancel;
        escape = QMessageBox::Cancel;
        break;
      case ui::Buttons::YesNo:
        buttons = QMessageBox::Yes | QMessageBox::No;
        escape = QMessageBox::No;
        break;
    }
    QMessageBox box(icon, qtText(m.title), qtText(m.text), buttons, dialogParent());
    box.setObjectName(QStringLiteral("messageBox"));
    box.setEscapeButton(escape);
    box.setTextFormat(Qt::PlainText);
    switch (box.exec()) {
      case QMessageBox::Yes: return ui::Answer::Yes;
      case QMessageBox::No: return ui::Answer::No;
      case QMessageBox::Cancel: return ui::Answer::Cancel;
      default: return m.buttons == ui::Buttons::YesNo ? ui::Answer::No : ui::Answer::Ok;
    }
  });
}

std::optional<std::string> QtUserInterface::prompt(const ui::Prompt& p) {
  return answered([this, p] {
    return p.kind == ui::PromptKind::Secret ? promptDialog(dialogParent(), p) : valueInputDialog(dialogParent(), p);
  });
}

std::optional<int> QtUserInterface::choose(const ui::Choice& c) {
  return answered([this, c] { return valueChoiceDialog(dialogParent(), c); });
}

std::optional<ui::UserChoiceAnswer> QtUserInterface::chooseUser(const ui::UserChoice& c) {
  return answered([this, c] { return userChoiceDialog(dialogParent(), c); });
}

std::optional<std::string> QtUserInterface::fileName(const ui::FileDialog& d, bool save) {
  return answered([this, d, save]() -> std::optional<std::string> {
    QFileDialog dialog(dialogParent(), qtText(d.title));
    dialog.setObjectName(save ? QStringLiteral("saveFileDialog") : QStringLiteral("openFileDialog"));
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    const QStringList filters = qtFileFilters(d.filter);
    if (!filters.isEmpty()) dialog.setNameFilters(filters);
    QString extension = qtText(d.defaultExtension);
    if (extension.startsWith(QLatin1Char('.'))) extension.remove(0, 1);
    if (!extension.isEmpty()) dialog.setDefaultSuffix(extension);
    if (!d.initialPath.empty()) {
      const QFileInfo initial(qtText(d.initialPath));
      dialog.setDirectory(initial.absolutePath());
      // A pattern for a name ("*.TXT") is what the filters say already.
      const QString name = initial.fileName();
      if (!initial.isDir() && !name.contains(QLatin1Char('*')) && !name.contains(QLatin1Char('?')))
        dialog.selectFile(name);
    }
    // Saving asks before it replaces a file (Qt's dialog does by default);
    // there is no read-only choice to offer on either.
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return stdText(dialog.selectedFiles().first());
  });
}

std::optional<std::string> QtUserInterface::openFileName(const ui::FileDialog& d) { return fileName(d, false); }
std::optional<std::string> QtUserInterface::saveFileName(const ui::FileDialog& d) { return fileName(d, true); }

namespace {

// What the worker sees: reports are queued to the dialog.
class DialogProgress : public ui::Progress {
 public:
  explicit DialogProgress(ProgressDialog& dialog) : dialog_(&dialog) {}
  void report(int percent, std::string_view text) override {
    QMetaObject::invokeMethod(
        dialog_, [d = dialog_, percent, t = qtText(text)] { d->setProgress(percent, t); }, Qt::QueuedConnection);
  }
  bool cancelRequested() const override { return dialog_->cancelRequested(); }

 private:
  ProgressDialog* dialog_;
};

}  // namespace

bool QtUserInterface::progressHere(const std::string& title, const ui::ProgressWork& work) {
  ProgressDialog dialog(qtText(title), dialogParent());
  DialogProgress progress(dialog);
  std::exception_ptr failure;
  std::thread worker([&] {
    try {
      work(progress);
    } catch (...) {
      failure = std::current_exception();
    }
    QMetaObject::invokeMethod(&dialog, [&dialog] { dialog.finish(); }, Qt::QueuedConnection);
  });
  dialog.exec();
  // The dialog ends only when the work has (its finish comes last).
  worker.join();
  if (failure) std::rethrow_exception(failure);
  return !dialog.cancelRequested();
}

bool QtUserInterface::runProgress(const std::string& title, const ui::ProgressWork& work) {
  return answered([&] { return progressHere(title, work); });
}

bool QtUserInterface::countdown(const ui::Countdown& c, std::stop_token stop) {
  return answered([&] { return valueCountdownDialog(dialogParent(), c, stop); });
}

std::optional<std::string> QtUserInterface::monitor(const ui::MonitorSpec& spec, const ui::MonitorTick& tick,
                                                    std::stop_token stop) {
  return answered([&] { return monitorDialog(dialogParent(), spec, tick, stop); });
}

void QtUserInterface::waitCursor(bool busy) {
  auto apply = [this, busy] {
    if (busy) {
      ++waitDepth_;
      QApplication::setOverrideCursor(Qt::WaitCursor);
    } else if (waitDepth_ > 0) {
      --waitDepth_;
      QApplication::restoreOverrideCursor();
    }
  };
  if (onGuiThread())
    apply();
  else
    QMetaObject::invokeMethod(this, apply, Qt::QueuedConnection);
}

void QtUserInterface::statusText(std::string_view text) {
  auto apply = [this, t = qtText(text)] {
    if (statusSink_) statusSink_(t);
  };
  if (onGuiThread())
    apply();
  else
    QMetaObject::invokeMethod(this, apply, Qt::QueuedConnection);
}

}  // namespace tavrin::gui

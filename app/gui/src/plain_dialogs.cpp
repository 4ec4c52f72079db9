#include "plain_dialogs.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMetaObject>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <memory>

namespace tavrin::gui {

QString qtText(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

std::string stdText(const QString& text) {
  const QByteArray utf8 = text.toUtf8();
  return std::string(utf8.constData(), static_cast<size_t>(utf8.size()));
}

namespace {

QDialogButtonBox* okCancel(QDialog& dialog) {
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  return buttons;
}

// Closes the dialog as cancelled when a stop is requested, from any thread.
class StopWatch {
 public:
  StopWatch(QDialog& dialog, std::stop_token stop)
      : dialog_(&dialog), callback_(std::move(stop), [this] {
          QMetaObject::invokeMethod(dialog_, [d = dialog_] { if (d) d->reject(); }, Qt::QueuedConnection);
        }) {}

 private:
  QPointer<QDialog> dialog_;
  std::stop_callback<std::function<void()>> callback_;
};

}  // namespace

std::optional<std::string> promptDialog(QWidget* parent, const ui::Prompt& p) {
  QDialog dialog(parent);
  dialog.setObjectName(QString::fromLatin1(kPromptDialog));
  dialog.setWindowTitle(qtText(p.title));
  auto* form = new QFormLayout;
  auto* text = new QLabel(qtText(p.prompt), &dialog);
  text->setWordWrap(true);
  auto* entry = new QLineEdit(qtText(p.initial), &dialog);
  entry->setAccessibleName(qtText(p.prompt.empty() ? p.title : p.prompt));
  if (p.kind == ui::PromptKind::Secret) entry->setEchoMode(QLineEdit::Password);
  if (!p.current.empty() || !p.unit.empty()) {
    auto* current = new QLabel(qtText(p.current + (p.unit.empty() ? "" : " " + p.unit)), &dialog);
    current->setAccessibleName(QObject::tr("Current value"));
    form->addRow(QObject::tr("Current value:"), current);
  }
  form->addRow(QObject::tr("New value:"), entry);
  auto* layout = new QVBoxLayout(&dialog);
  layout->addWidget(text);
  layout->addLayout(form);
  layout->addWidget(okCancel(dialog));
  dialog.setMinimumWidth(320);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return stdText(entry->text());
}

std::optional<std::string> monitorDialog(QWidget* parent, const ui::MonitorSpec& spec, const ui::MonitorTick& tick,
                                         std::stop_token stop) {
  QDialog dialog(parent);
  dialog.setObjectName(QString::fromLatin1(kMonitorDialog));
  dialog.setWindowTitle(qtText(spec.caption));
  auto* form = new QFormLayout;
  auto* value = new QLineEdit(&dialog);
  value->setReadOnly(true);
  value->setAccessibleName(qtText(spec.label));
  auto* unit = new QLabel(qtText(spec.unit), &dialog);
  auto* valueRow = new QHBoxLayout;
  valueRow->addWidget(value, 1);
  valueRow->addWidget(unit);
  form->addRow(qtText(spec.label), valueRow);
  QLineEdit* resistance = nullptr;
  QLineEdit* voltage = nullptr;
  if (spec.withResistance) {
    resistance = new QLineEdit(qtText(spec.resistance), &dialog);
    resistance->setAccessibleName(QObject::tr("Bridge resistance"));
    form->addRow(QObject::tr("Bridge resistance (kOhm):"), resistance);
    voltage = new QLineEdit(&dialog);
    voltage->setReadOnly(true);
    voltage->setAccessibleName(QObject::tr("Voltage"));
    form->addRow(QObject::tr("Voltage:"), voltage);
  }
  auto* layout = new QVBoxLayout(&dialog);
  layout->addLayout(form);
  layout->addWidget(okCancel(dialog));
  QTimer timer;
  timer.setInterval(300);
  QObject::connect(&timer, &QTimer::timeout, &dialog, [&] {
    const ui::MonitorReading r = tick(resistance ? stdText(resistance->text()) : std::string());
    value->setText(r.ok ? qtText(r.value) : QString());
    if (r.ok && !r.unit.empty()) unit->setText(qtText(r.unit));
    if (voltage) voltage->setText(qtText(r.voltage));
  });
  timer.start();
  StopWatch watch(dialog, stop);
  if (stop.stop_requested()) return std::nullopt;
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return stdText(value->text());
}

}  // namespace tavrin::gui

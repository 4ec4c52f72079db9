#include "serial_settings_dialog.h"

#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QVBoxLayout>

#include "app/serial_settings.h"
#include "app/session.h"
#include "plain_dialogs.h"

namespace tavrin::gui {

namespace {

template <size_t N>
QComboBox* list(QWidget* parent, const std::array<std::string_view, N>& entries, int selected, const QString& name) {
  auto* box = new QComboBox(parent);
  box->setAccessibleName(name);
  for (std::string_view e : entries) box->addItem(qtText(e));
  box->setCurrentIndex(selected);
  return box;
}

}  // namespace

bool serialSettingsDialog(QWidget* parent, app::DeviceSession& session, ui::UserInterface& ui) {
  const app::CommunicationType type = session.communicationType();
  app::SerialSettingsForm form =
      app::openSerialSettingsForm(session.files().folder, type, session.links().heldPort(type), ui);

  QDialog dialog(parent);
  dialog.setObjectName(QString::fromLatin1(kSerialSettingsDialog));
  dialog.setWindowTitle(QStringLiteral("Baud rate setting:"));
  auto* portGroup = new QGroupBox(QStringLiteral("COM Settings:"), &dialog);
  auto* ports = new QComboBox(portGroup);
  ports->setAccessibleName(QStringLiteral("Port:"));
  for (int p : form.ports) ports->addItem(QStringLiteral("COM%1").arg(p));
  ports->setCurrentIndex(form.port);
  auto* portForm = new QFormLayout(portGroup);
  portForm->addRow(QStringLiteral("Port:"), ports);

  auto* lineGroup = new QGroupBox(QStringLiteral("Baud rate setting:"), &dialog);
  auto* baud = list(lineGroup, app::kBaudRateEntries, form.baudRate, QStringLiteral("Baud rate:"));
  auto* dataBits = list(lineGroup, app::kDataBitsEntries, form.dataBits, QStringLiteral("Data bits:"));
  auto* parity = list(lineGroup, app::kParityEntries, form.parity, QStringLiteral("Party:"));
  auto* stopBits = list(lineGroup, app::kStopBitsEntries, form.stopBits, QStringLiteral("Stop Bit:"));
  auto* flow = list(lineGroup, app::kFlowControlEntries, form.flowControl, QStringLiteral("Flow control:"));
  auto* lineForm = new QFormLayout(lineGroup);
  lineForm->addRow(QStringLiteral("Baud rate:"), baud);
  lineForm->addRow(QStringLiteral("Data bits:"), dataBits);
  lineForm->addRow(QStringLiteral("Party:"), parity);
  lineForm->addRow(QStringLiteral("Stop Bit:"), stopBits);
  lineForm->addRow(QStringLiteral("Flow control:"), flow);
  auto* paMode = new QLabel(qtText(app::kPaModeText), &dialog);
  lineGroup->setVisible(form.lineParametersShown);
  paMode->setVisible(!form.lineParametersShown);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
  bool stored = false;
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, [&] {
    form.port = ports->currentIndex();
    if (form.lineParametersShown) {
      form.baudRate = baud->currentIndex();
      form.dataBits = dataBits->currentIndex();
      form.parity = parity->currentIndex();
      form.stopBits = stopBits->currentIndex();
      form.flowControl = flow->currentIndex();
    }
    // A list without a selection is said, and the dialog stays.
    if (app::acceptSerialSettingsForm(form, session.files().comIni(), ui)) {
      stored = true;
      dialog.accept();
    }
  });
  auto* layout = new QVBoxLayout(&dialog);
  layout->addWidget(portGroup);
  layout->addWidget(lineGroup);
  layout->addWidget(paMode);
  layout->addWidget(buttons);
  dialog.exec();
  return stored;
}

}  // namespace tavrin::gui

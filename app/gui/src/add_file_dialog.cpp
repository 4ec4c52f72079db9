#include "add_file_dialog.h"

#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/add_file.h"
#include "plain_dialogs.h"
#include "ui/user_interface.h"

namespace tavrin::gui {

bool addFileDialog(QWidget* parent, const app::ProgramFiles& files, ui::UserInterface& ui) {
  const app::AddFileForm initial;
  QDialog dialog(parent);
  dialog.setObjectName(QString::fromLatin1(kAddFileDialog));
  dialog.setWindowTitle(qtText(app::kAddFileTitle));
  auto* group = new QGroupBox(QStringLiteral("Add file:"), &dialog);
  auto* type = new QComboBox(group);
  type->setObjectName(QStringLiteral("transmitterType"));
  type->setAccessibleName(QStringLiteral("Transmitter Type:"));
  for (std::string_view t : app::kTransmitterTypes) type->addItem(qtText(t));
  type->setCurrentIndex(initial.type);
  auto* manufacturer = new QLineEdit(qtText(initial.manufacturerCode), group);
  manufacturer->setObjectName(QStringLiteral("manufacturerCode"));
  manufacturer->setAccessibleName(QStringLiteral("Manu Code:"));
  auto* device = new QLineEdit(qtText(initial.deviceCode), group);
  device->setObjectName(QStringLiteral("deviceCode"));
  device->setAccessibleName(QStringLiteral("Device Code:"));
  auto* file = new QLineEdit(group);
  file->setObjectName(QStringLiteral("eddlFile"));
  file->setAccessibleName(QStringLiteral("EDDL File:"));
  file->setMinimumWidth(260);
  auto* browse = new QPushButton(QStringLiteral("<<<"), group);
  browse->setObjectName(QStringLiteral("browse"));
  browse->setAccessibleName(QObject::tr("Choose the EDDL file"));
  browse->setAutoDefault(false);

  auto* grid = new QGridLayout(group);
  grid->addWidget(new QLabel(QStringLiteral("Transmitter Type:"), group), 0, 0);
  grid->addWidget(type, 0, 1, 1, 3);
  grid->addWidget(new QLabel(QStringLiteral("Manu Code:"), group), 1, 0);
  grid->addWidget(new QLabel(QStringLiteral("0x"), group), 1, 1);
  grid->addWidget(manufacturer, 1, 2, 1, 2);
  grid->addWidget(new QLabel(QStringLiteral("Device Code:"), group), 2, 0);
  grid->addWidget(new QLabel(QStringLiteral("0x"), group), 2, 1);
  grid->addWidget(device, 2, 2, 1, 2);
  grid->addWidget(new QLabel(QStringLiteral("EDDL File:"), group), 3, 0);
  grid->addWidget(file, 3, 1, 1, 2);
  grid->addWidget(browse, 3, 3);
  grid->setColumnStretch(2, 1);

  QObject::connect(browse, &QPushButton::clicked, &dialog, [&] {
    if (const auto chosen = ui.openFileName({"Open", std::string(app::kAddFileFilter), "bin", ""}))
      file->setText(qtText(*chosen));
  });
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
  bool added = false;
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, [&] {
    app::AddFileForm form;
    form.type = type->currentIndex();
    form.manufacturerCode = stdText(manufacturer->text());
    form.deviceCode = stdText(device->text());
    form.file = stdText(file->text());
    if (app::acceptAddFile(form, files, ui)) {
      added = true;
      dialog.accept();
    }
  });
  auto* layout = new QVBoxLayout(&dialog);
  layout->addWidget(group);
  layout->addWidget(buttons);
  dialog.exec();
  return added;
}

}  // namespace tavrin::gui

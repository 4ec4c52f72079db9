#include "user_dialogs.h"

#include <QButtonGroup>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTimer>
#include <QVBoxLayout>

#include "app/password.h"
#include "plain_dialogs.h"

namespace tavrin::gui {

namespace {

constexpr int kPasswordLength = static_cast<int>(app::kPasswordSize);

QLineEdit* secretField(QWidget* parent, const QString& name) {
  auto* field = new QLineEdit(parent);
  field->setEchoMode(QLineEdit::Password);
  field->setMaxLength(kPasswordLength);
  field->setAccessibleName(name);
  field->setObjectName(name);
  return field;
}

}  // namespace

std::optional<ui::UserChoiceAnswer> userChoiceDialog(QWidget* parent, const ui::UserChoice& choice) {
  QDialog dialog(parent);
  dialog.setObjectName(QString::fromLatin1(kUserChoiceDialog));
  dialog.setWindowTitle(qtText(choice.title));
  auto* group = new QGroupBox(QStringLiteral("Select:"), &dialog);
  auto* groupLayout = new QVBoxLayout(group);
  QList<QRadioButton*> types;
  for (const std::string& type : choice.types) {
    auto* button = new QRadioButton(qtText(type), group);
    groupLayout->addWidget(button);
    types << button;
  }
  if (!types.isEmpty()) types.front()->setChecked(true);
  auto* password = secretField(&dialog, QStringLiteral("Password:"));
  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("Password:"), password);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  auto* layout = new QVBoxLayout(&dialog);
  layout->addWidget(group);
  layout->addLayout(form);
  layout->addWidget(buttons);
  dialog.setMinimumWidth(280);

  // The password belongs to every type but "User version" (the second).
  auto follow = [&] { password->setEnabled(types.size() < 2 || !types[1]->isChecked()); };
  follow();
  QTimer tick;
  tick.setInterval(kUserChoiceTickMs);
  QObject::connect(&tick, &QTimer::timeout, &dialog, follow);
  tick.start();
  password->setFocus();

  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  ui::UserChoiceAnswer answer;
  for (int i = 0; i < types.size(); ++i)
    if (types[i]->isChecked()) answer.type = i;
  // A disabled field was not the person's to fill.
  if (password->isEnabled()) answer.password = stdText(password->text());
  return answer;
}

bool passwordDialog(QWidget* parent, const std::string& passwordFile, ui::UserInterface& ui) {
  QDialog dialog(parent);
  dialog.setObjectName(QString::fromLatin1(kPasswordDialog));
  dialog.setWindowTitle(QStringLiteral("Password Setting:"));
  auto* group = new QGroupBox(QStringLiteral("Setting:"), &dialog);
  auto* form = new QFormLayout(group);
  auto* oldPassword = secretField(group, QStringLiteral("Old password:"));
  auto* newPassword = secretField(group, QStringLiteral("New password:"));
  auto* again = secretField(group, QStringLiteral("New password again:"));
  form->addRow(QStringLiteral("Old password:"), oldPassword);
  form->addRow(QStringLiteral("New password:"), newPassword);
  form->addRow(QStringLiteral("New password again:"), again);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, [&] {
    // A refusal has said why; the dialog stays for another try.
    if (app::acceptPasswordChange(stdText(oldPassword->text()), stdText(newPassword->text()), stdText(again->text()),
                                  passwordFile, ui))
      dialog.accept();
  });
  auto* layout = new QVBoxLayout(&dialog);
  layout->addWidget(group);
  layout->addWidget(buttons);
  dialog.setMinimumWidth(320);
  return dialog.exec() == QDialog::Accepted;
}

}  // namespace tavrin::gui

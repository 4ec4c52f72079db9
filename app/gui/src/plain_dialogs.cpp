#include "plain_dialogs.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>
#include <memory>

namespace tavrin::gui {

QString qtText(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

std::string stdText(const QString& text) {
  const QByteArray utf8 = text.toUtf8();
  return std::string(utf8.constData(), static_cast<size_t>(utf8.size()));
}

QDialogButtonBox* okCancel(QDialog& dialog) {
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  return buttons;
}

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

}  // namespace tavrin::gui

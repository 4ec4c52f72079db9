#include "address_dialogs.h"

#include <QCloseEvent>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMetaObject>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "app/session.h"
#include "plain_dialogs.h"
#include "ui/user_interface.h"

namespace tavrin::gui {

PollingDialog::PollingDialog(app::DeviceSession& session, ui::UserInterface& ui, QWidget* parent)
    : QDialog(parent),
      session_(session),
      ui_(ui),
      poller_(session.links(), session.files(), ui),
      start_(new QLineEdit(this)),
      end_(new QLineEdit(this)),
      list_(new QTreeWidget(this)),
      poll_(new QPushButton(QStringLiteral("Poll"), this)),
      stop_(new QPushButton(QStringLiteral("Stop"), this)),
      ok_(new QPushButton(tr("OK"), this)),
      cancel_(new QPushButton(tr("Cancel"), this)),
      progress_(new QProgressBar(this)),
      status_(new QLabel(this)) {
  setObjectName(QString::fromLatin1(kPollingDialog));
  setWindowTitle(QStringLiteral("Polling address"));
  start_->setAccessibleName(tr("Start address"));
  end_->setAccessibleName(tr("End address"));
  start_->setObjectName(QStringLiteral("startAddress"));
  end_->setObjectName(QStringLiteral("endAddress"));
  auto* rangeRow = new QHBoxLayout;
  rangeRow->addWidget(new QLabel(QStringLiteral("Address:"), this));
  rangeRow->addWidget(start_);
  rangeRow->addWidget(new QLabel(QStringLiteral("---"), this));
  rangeRow->addWidget(end_);
  rangeRow->addStretch(1);

  list_->setObjectName(QStringLiteral("pollResults"));
  list_->setAccessibleName(tr("Transmitters found"));
  list_->setRootIsDecorated(false);
  list_->setSelectionBehavior(QAbstractItemView::SelectRows);
  list_->setSelectionMode(QAbstractItemView::SingleSelection);
  list_->setAllColumnsShowFocus(true);
  const auto columns = app::pollColumns(session.communicationType());
  QStringList titles;
  for (const app::PollColumn& c : columns) titles << qtText(c.title);
  list_->setColumnCount(static_cast<int>(titles.size()));
  list_->setHeaderLabels(titles);
  list_->header()->setStretchLastSection(false);
  for (size_t i = 0; i < columns.size(); ++i) list_->setColumnWidth(static_cast<int>(i), columns[i].width);
  list_->setMinimumSize(600, 220);

  progress_->setObjectName(QStringLiteral("pollProgress"));
  progress_->setRange(0, 1);
  progress_->setValue(0);
  progress_->setTextVisible(false);
  status_->setObjectName(QStringLiteral("pollStatus"));
  status_->setAccessibleName(tr("Polling status"));
  status_->setMinimumWidth(200);

  for (QPushButton* b : {poll_, stop_, ok_, cancel_}) b->setAutoDefault(false);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(poll_);
  buttons->addWidget(stop_);
  buttons->addStretch(1);
  buttons->addWidget(ok_);
  buttons->addWidget(cancel_);
  auto* statusRow = new QHBoxLayout;
  statusRow->addWidget(progress_, 1);
  statusRow->addWidget(status_, 1);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(rangeRow);
  layout->addWidget(list_, 1);
  layout->addLayout(statusRow);
  layout->addLayout(buttons);

  stop_->setEnabled(false);
  const app::PollRange stored = app::readPollRange(session.files().comIni());
  start_->setText(qtText(stored.start));
  end_->setText(qtText(stored.end));

  connect(poll_, &QPushButton::clicked, this, &PollingDialog::pollClicked);
  connect(stop_, &QPushButton::clicked, this, &PollingDialog::stopClicked);
  connect(ok_, &QPushButton::clicked, this, &PollingDialog::okClicked);
  connect(cancel_, &QPushButton::clicked, this, &PollingDialog::reject);
  connect(list_, &QTreeWidget::itemDoubleClicked, this, [this] {
    if (poller_.running()) {
      ui_.errorBox("Error: Polling, please wait!");
      return;
    }
    okClicked();
  });

  // The worker's reports, each carried to the GUI thread.
  poller_.setObserver({
      [this](std::string_view text) {
        QMetaObject::invokeMethod(this, [this, t = qtText(text)] { status_->setText(t); }, Qt::QueuedConnection);
      },
      [this](int position, int range) {
        QMetaObject::invokeMethod(
            this,
            [this, position, range] {
              progress_->setRange(0, range);
              progress_->setValue(position);
            },
            Qt::QueuedConnection);
      },
      [this](const app::PolledDevice& device) {
        QStringList texts;
        // The blanks that pad a visible string to its size are not shown.
        for (const std::string& t : device.texts) {
          QString text = qtText(t);
          while (text.endsWith(QLatin1Char(' '))) text.chop(1);
          texts << text;
        }
        QMetaObject::invokeMethod(this, [this, texts] { list_->addTopLevelItem(new QTreeWidgetItem(texts)); },
                                  Qt::QueuedConnection);
      },
      [this] { QMetaObject::invokeMethod(this, [this] { scanEnded(); }, Qt::QueuedConnection); },
  });
}

PollingDialog::~PollingDialog() {
  // Before any member goes: the worker reports to this dialog.
  poller_.stop();
  poller_.wait();
}

app::PollRange PollingDialog::range() const { return {stdText(start_->text()), stdText(end_->text())}; }

void PollingDialog::setRunning(bool running) {
  stop_->setEnabled(running);
  poll_->setEnabled(!running);
  ok_->setEnabled(!running);
  cancel_->setEnabled(!running);
}

void PollingDialog::pollClicked() {
  if (poller_.running()) return;
  // The refresh must not talk on the bus while the addresses are scanned.
  session_.stopRefresh();
  // The poller sets its running flag here, before its worker starts: a
  // second click cannot start another. Its rows come as queued calls, so
  // none can arrive before the list is emptied.
  if (!poller_.start(session_.communicationType(), range())) return;
  list_->clear();
  setRunning(true);
}

void PollingDialog::stopClicked() {
  poller_.stop();
  stop_->setEnabled(false);
}

void PollingDialog::scanEnded() {
  if (poller_.running()) return;  // a report of a scan that has been started again meanwhile
  poller_.wait();
  setRunning(false);
}

void PollingDialog::okClicked() {
  const QList<QTreeWidgetItem*> selected = list_->selectedItems();
  const int row = selected.isEmpty() ? -1 : list_->indexOfTopLevelItem(selected.front());
  session_.stopRefresh();
  chosen_ = poller_.choose(session_.communicationType(), row, range());
  if (chosen_) accept();
}

void PollingDialog::reject() {
  // Escape and the window's close button too: not while the scan runs.
  if (poller_.running()) return;
  QDialog::reject();
}

bool addressSettingDialog(QWidget* parent, app::DeviceSession& session, ui::UserInterface& ui) {
  QDialog dialog(parent);
  dialog.setObjectName(QString::fromLatin1(kAddressSettingDialog));
  dialog.setWindowTitle(QStringLiteral("Address setting"));
  auto* current = new QLineEdit(&dialog);
  current->setObjectName(QStringLiteral("currentAddress"));
  current->setAccessibleName(QStringLiteral("Current Addr:"));
  current->setReadOnly(true);
  auto* setting = new QLineEdit(&dialog);
  setting->setObjectName(QStringLiteral("addressSetting"));
  setting->setAccessibleName(QStringLiteral("Addr Setting:"));
  auto* hint = new QPlainTextEdit(&dialog);
  hint->setObjectName(QStringLiteral("addressHint"));
  hint->setAccessibleName(QObject::tr("Hint"));
  hint->setReadOnly(true);
  hint->setPlainText(QString::fromUtf8(kAddressHint));
  hint->setMaximumHeight(80);
  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("Current Addr:"), current);
  form->addRow(QStringLiteral("Addr Setting:"), setting);

  if (const auto stored = app::storedAddressText(session.files(), session.communicationType(), ui)) {
    current->setText(qtText(*stored));
    setting->setText(qtText(*stored));
  }

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Help,
                                       &dialog);
  buttons->button(QDialogButtonBox::Help)->setText(QStringLiteral("Help"));
  bool set = false;
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  QObject::connect(buttons, &QDialogButtonBox::helpRequested, &dialog, [&] {
    hint->setPlainText(QString::fromUtf8(kAddressHint));
    ui.inform("Help", kAddressHint);
  });
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, [&] {
    session.stopRefresh();
    // A refused address has said why; the dialog stays.
    if (app::setAddress(session, stdText(setting->text()))) {
      set = true;
      dialog.accept();
    }
  });
  auto* layout = new QVBoxLayout(&dialog);
  layout->addLayout(form);
  layout->addWidget(hint);
  layout->addWidget(buttons);
  dialog.setMinimumWidth(360);
  setting->setFocus();
  setting->selectAll();
  dialog.exec();
  return set;
}

}  // namespace tavrin::gui

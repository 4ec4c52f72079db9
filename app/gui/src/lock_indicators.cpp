#include "lock_indicators.h"

#include <QApplication>
#include <QEvent>
#include <QLabel>
#include <QStatusBar>

#if TAVRIN_GUI_XCB
#include <QtGui/qguiapplication_platform.h>
#include <xcb/xcb.h>
#include <cstdlib>
#endif

namespace tavrin::gui {

std::optional<LockState> queryLockState() {
#if TAVRIN_GUI_XCB
  auto* x11 = qApp ? qApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
  xcb_connection_t* connection = x11 ? x11->connection() : nullptr;
  if (!connection) return std::nullopt;
  xcb_get_keyboard_control_reply_t* reply =
      xcb_get_keyboard_control_reply(connection, xcb_get_keyboard_control(connection), nullptr);
  if (!reply) return std::nullopt;
  // The X keyboard's LEDs 1, 2 and 3 are Caps, Num and Scroll Lock.
  const uint32_t leds = reply->led_mask;
  std::free(reply);
  return LockState{(leds & 1u) != 0, (leds & 2u) != 0, (leds & 4u) != 0};
#else
  return std::nullopt;
#endif
}

LockIndicators::LockIndicators(QStatusBar* bar) : QObject(bar) {
  const char* texts[] = {"CAP", "NUM", "SCRL"};
  const char* names[] = {"Caps Lock", "Num Lock", "Scroll Lock"};
  for (size_t i = 0; i < panes_.size(); ++i) {
    auto* pane = new QLabel(bar);
    pane->setObjectName(QString::fromLatin1(texts[i]).toLower() + QStringLiteral("Pane"));
    pane->setAccessibleName(QString::fromLatin1(names[i]));
    pane->setAlignment(Qt::AlignCenter);
    pane->setMinimumWidth(pane->fontMetrics().horizontalAdvance(QString::fromLatin1(texts[i])) + 12);
    pane->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    bar->addPermanentWidget(pane);
    panes_[i] = pane;
  }
  available_ = queryLockState().has_value();
  for (QLabel* pane : panes_) pane->setVisible(available_);
  if (available_) qApp->installEventFilter(this);
  refresh();
}

void LockIndicators::refresh() {
  const auto state = queryLockState();
  if (!state) return;
  const bool on[] = {state->caps, state->num, state->scroll};
  const char* texts[] = {"CAP", "NUM", "SCRL"};
  for (size_t i = 0; i < panes_.size(); ++i) {
    panes_[i]->setText(on[i] ? QString::fromLatin1(texts[i]) : QString());
    panes_[i]->setAccessibleDescription(on[i] ? tr("on") : tr("off"));
  }
}

bool LockIndicators::eventFilter(QObject* watched, QEvent* event) {
  switch (event->type()) {
    case QEvent::KeyRelease:
    case QEvent::ApplicationActivate:
      // Once per event, not once per widget it passes through.
      if (watched->isWindowType() || watched == qApp) refresh();
      break;
    default: break;
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace tavrin::gui

// Notes the first paint of a widget from the moment it is armed, for the
// benchmarks that time a window up to what a user sees.
#pragma once

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QWidget>
#include <chrono>

class PaintWatch : public QObject {
 public:
  explicit PaintWatch(QWidget* widget) : widget_(widget) { widget->installEventFilter(this); }
  void arm() { painted_ = false; }
  // Runs the event loop until the paint came; false after the deadline.
  bool wait(std::chrono::milliseconds limit = std::chrono::milliseconds(30000)) {
    const auto until = std::chrono::steady_clock::now() + limit;
    while (!painted_ && std::chrono::steady_clock::now() < until)
      QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    return painted_;
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched == widget_ && event->type() == QEvent::Paint) painted_ = true;
    return false;
  }

 private:
  QWidget* widget_;
  bool painted_ = false;
};

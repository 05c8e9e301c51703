#include "ui/qt_shell.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QThread>
#include <QTimer>

#include <exception>

#include "app/desktop_texts.h"
#include "core/headless_shell.h"
#include "core/sjis.h"

namespace norvane {

QtShell::QtShell() = default;

QtShell::~QtShell() {
  std::lock_guard lock(m_);
  timers_.clear();  // the timers go with context_
}

bool QtShell::OnGuiThread() const { return QThread::currentThread() == context_.thread(); }

void QtShell::Guard(const std::function<void()>& fn) {
  std::string message;
  try {
    fn();
    return;
  } catch (const std::exception& e) {
    message = e.what();
  } catch (...) {
    message = "unknown error";
  }
  ShowErrorAndEnd(message);
}

void QtShell::ShowErrorAndEnd(const std::string& message) {
  if (!OnGuiThread()) {
    Post([this, message] { ShowErrorAndEnd(message); });
    return;
  }
  ConsoleLine("norvane: " + message);
  failed_ = true;
  // One box: errors that follow while it is open, or once the end has begun, only
  // reach standard error.
  if (!errorShown_ && !ending()) {
    errorShown_ = true;
    QMessageBox box(QMessageBox::Critical, QString::fromStdString(DT().caption),
                    QString::fromStdString(SjisToUtf8(message)), QMessageBox::Ok);
    box.exec();
  }
  Quit(1);
}

void QtShell::Quit(int code) {
  if (!ending_.exchange(true)) exitCode_ = code;
  const int first = exitCode_.load();
  QMetaObject::invokeMethod(&context_, [first] { QCoreApplication::exit(first); },
                            Qt::QueuedConnection);
}

void QtShell::SetTraySink(std::function<void(int)> sink) {
  traySink_ = std::move(sink);
  if (traySink_ && trayImage_.load() >= 0) traySink_(trayImage_.load());
}

void QtShell::SetTrayImage(int index) {
  trayImage_ = index;
  QMetaObject::invokeMethod(
      &context_,
      [this, index] {
        Guard([this, index] {
          if (traySink_) traySink_(index);
        });
      },
      Qt::QueuedConnection);
}

void QtShell::Post(std::function<void()> task) {
  QMetaObject::invokeMethod(
      &context_, [this, task = std::move(task)] { Guard(task); }, Qt::QueuedConnection);
}

Shell::TimerId QtShell::StartTimer(std::chrono::milliseconds period, std::function<void()> fn) {
  TimerId id;
  {
    std::lock_guard lock(m_);
    id = nextId_++;
  }
  if (OnGuiThread()) {
    MakeTimer(id, period, std::move(fn));
  } else {
    QMetaObject::invokeMethod(
        &context_, [this, id, period, fn = std::move(fn)] { MakeTimer(id, period, fn); },
        Qt::QueuedConnection);
  }
  return id;
}

void QtShell::StopTimer(TimerId id) {
  if (OnGuiThread())
    DropTimer(id);
  else
    QMetaObject::invokeMethod(&context_, [this, id] { DropTimer(id); }, Qt::QueuedConnection);
}

void QtShell::MakeTimer(TimerId id, std::chrono::milliseconds period, std::function<void()> fn) {
  auto* timer = new QTimer(&context_);
  timer->setInterval(period);
  QObject::connect(timer, &QTimer::timeout, &context_, [this, fn = std::move(fn)] { Guard(fn); });
  {
    std::lock_guard lock(m_);
    timers_[id] = timer;
  }
  timer->start();
}

void QtShell::DropTimer(TimerId id) {
  QTimer* timer = nullptr;
  {
    std::lock_guard lock(m_);
    auto it = timers_.find(id);
    if (it == timers_.end()) return;
    timer = it->second;
    timers_.erase(it);
  }
  // A timer may be stopped from its own handler: it goes once that has returned.
  timer->stop();
  timer->disconnect();
  timer->deleteLater();
}

}  // namespace norvane

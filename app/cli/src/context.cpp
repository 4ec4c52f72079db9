#include "context.h"

#include "app/description_menus.h"
#include "command_table.h"

namespace tavrin::cli {

Context::Context(const Options& options, CliUserInterface& ui, std::ostream& out)
    : options_(options),
      ui_(ui),
      out_(out),
      session_(std::make_unique<app::DeviceSession>(app::ProgramFiles{options.folder}, ui, app::descriptionMenus())) {
  ContextSetup::runAll(*this);
}

Context::~Context() = default;

bool Context::start() {
  if (offline()) return session_->openDescription(options_.offline);
  session_->start();
  return true;
}

void Context::shutdown() {
  if (!offline()) session_->shutdown();
}

bool Context::fail(const std::string& text) {
  ui_.errorBox(text);
  return false;
}

bool Context::needConnected() {
  if (session_->connected()) return true;
  return fail("Error: No transmitter is connected!");
}

bool Context::interruptMethod() {
  if (!methodRunning_) return false;
  interrupted_ = true;
  session_->model().engine().requestStop();
  return true;
}

void Context::methodStarted() {
  interrupted_ = false;
  methodRunning_ = true;
}

bool Context::methodEnded() {
  methodRunning_ = false;
  return interrupted_.exchange(false);
}

std::string escaped(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    if (c == '\t')
      out += "\\t";
    else if (c == '\n')
      out += "\\n";
    else
      out += c;
  }
  return out;
}

}  // namespace tavrin::cli

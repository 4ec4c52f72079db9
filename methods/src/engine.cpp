// The engine's entry points and the method runner.
#include <algorithm>
#include <cstdio>

#include "edd/tags.h"
#include "engine_impl.h"
#include "messages.h"

namespace tavrin::methods {
namespace {

using edd::Tag;

// The body of a method definition (478): its compound statement.
const EddNode* bodyOf(const EddNode* definition) {
  for (const EddNode* c = definition->child; c; c = c->sibling) {
    if (c->tag == +Tag::Compound) return c;
  }
  return definition->child;  // not a body: the compiler reports the tag
}

// Counts one level of evaluation for as long as it lives (see kMaxNesting).
class EvaluationDepth {
 public:
  explicit EvaluationDepth(MethodEngine::Impl& e) : e_(e), ok_(++e.nesting <= kMaxNesting) {
    if (!ok_) e_.ui.errorBox(msg::NestedTooDeeply);
  }
  ~EvaluationDepth() { --e_.nesting; }
  EvaluationDepth(const EvaluationDepth&) = delete;
  EvaluationDepth& operator=(const EvaluationDepth&) = delete;
  explicit operator bool() const { return ok_; }

 private:
  MethodEngine::Impl& e_;
  bool ok_;
};

}  // namespace

MethodEngine::MethodEngine(ui::UserInterface& ui, MethodModel& model)
    : impl_(std::make_unique<Impl>(*this, ui, model)) {}

MethodEngine::~MethodEngine() = default;

ui::UserInterface& MethodEngine::ui() { return impl_->ui; }
MethodModel& MethodEngine::model() { return impl_->model; }
ValueStack& MethodEngine::stack() { return impl_->stack; }
BuiltinTable& MethodEngine::builtins() { return impl_->builtins; }
ProgramSpace& MethodEngine::program() { return impl_->program; }
const SymbolTable& MethodEngine::symbols() const { return impl_->symbols; }
int32_t MethodEngine::methodLevel() const { return impl_->level; }

void MethodEngine::Impl::tagMismatch(int32_t found, int32_t expected) {
  ui.errorBox("tag1 = " + std::to_string(found) + " & tag2 = " + std::to_string(expected) + ", match failed!");
}

// --- the method runner ---------------------------------------------------

MethodOutcome MethodEngine::Impl::runMethodId(int32_t id) {
  const EddNode* root = model.findObject(id);
  if (!root || root->tag != +Tag::Method) {
    ui.errorBox(msg::InvokingMethods);
    return {0, -1, false};
  }
  return runMethodObject(*root);
}

MethodOutcome MethodEngine::Impl::runMethodObject(const EddNode& root) {
  for (const EddNode* c = root.child; c; c = c->sibling) {
    if (c->tag == +Tag::MethodDefinition) return runBody(bodyOf(c));
  }
  return {};  // a METHOD without a definition has nothing to fail
}

// Compiles the body behind everything compiled so far, runs it at a method
// level of its own, and leaves the stack, the program space and the locals
// as it found them. Code whose tables overflowed while it compiled never
// runs: the method ends with -1. Method levels count with the walkers'
// nesting, so that no recursion, through calls, abort methods or the
// description's actions, can exhaust the thread's stack.
MethodOutcome MethodEngine::Impl::runBody(const EddNode* compound) {
  EvaluationDepth nesting(*this);
  if (!nesting) return {0, -1, false};
  abortLists.emplace_back();
  ++level;
  const int32_t symbolCount = symbols.count();
  const int32_t start = program.next();
  const int32_t depth = stack.depth();

  bool compiled = false;
  {
    Compiler compiler(*this, Compiler::Mode::Method);
    compiler.methodBody(compound);
    compiled = !compiler.failed();
  }
  const RunResult r = compiled ? run(start, program.next()) : RunResult{run_status::ErrorStop, false};

  stack.setDepth(depth);
  program.cutBack(start);
  symbols.releaseDownTo(symbolCount);
  --level;
  const std::vector<int32_t> aborts = std::move(abortLists.back());
  abortLists.pop_back();

  if (r.status != run_status::Abort) return {r.status == run_status::ErrorStop ? 0 : 1, r.status, false};

  // The stop has been dealt with by ending this method; its abort methods
  // run normally, and a further request stops them too.
  if (r.stopped) acknowledgeStop();
  // Each method runs at most once as an abort method until the outermost
  // chain is over. An abort inside an abort method ends it as the first
  // abort ended its method (its own abort methods run) and with it the
  // chain; a method that is its own abort method thus runs twice, not for
  // ever.
  const bool outermost = abortChains == 0;
  if (outermost) abortMethodsRun.clear();
  ++abortChains;
  int result = 1;
  for (const int32_t id : aborts) {
    if (std::find(abortMethodsRun.begin(), abortMethodsRun.end(), id) != abortMethodsRun.end()) continue;
    abortMethodsRun.push_back(id);
    const MethodOutcome o = runMethodId(id);
    result = o.result;
    if (o.status == run_status::ErrorStop || o.status == run_status::Abort) break;
  }
  --abortChains;
  if (outermost) abortMethodsRun.clear();
  return {result, run_status::Abort, r.stopped};
}

int MethodEngine::runMethod(const EddNode& methodRoot) {
  if (impl_->runDepth == 0) impl_->acknowledgeStop();
  return impl_->runMethodObject(methodRoot).result;
}

int MethodEngine::runMethodSpecification(const EddNode* node) {
  Impl& e = *impl_;
  if (e.runDepth == 0) e.acknowledgeStop();
  const uint16_t tag = node ? node->tag : 0;
  if (tag == +Tag::MethodReference) {
    const EddNode* id = node->child;
    if (!id || id->tag != +Tag::Identifier) {
      e.tagMismatch(id ? id->tag : 0, +Tag::Identifier);
      return 0;
    }
    return e.runMethodId(static_cast<int32_t>(id->value)).result;
  }
  if (tag == +Tag::MethodInline) {
    const EddNode* definition = node->child;
    if (!definition || definition->tag != +Tag::MethodDefinition) {
      e.tagMismatch(definition ? definition->tag : 0, +Tag::MethodDefinition);
      return 0;
    }
    return e.runBody(bodyOf(definition)).result;
  }
  e.ui.errorBox(msg::MethodSpecification);
  return 0;
}

// Each abort method runs once, at the place it was added first; a method
// that adds one in a loop cannot grow the list without end.
void MethodEngine::addAbortMethod(int32_t methodId) {
  if (impl_->abortLists.empty()) return;
  std::vector<int32_t>& list = impl_->abortLists.back();
  if (std::find(list.begin(), list.end(), methodId) == list.end()) list.push_back(methodId);
}

// --- description expressions -----------------------------------------------

bool MethodEngine::evaluateExpression(const EddNode* node) {
  Impl& e = *impl_;
  EvaluationDepth nesting(e);
  if (!nesting) return false;
  if (e.runDepth == 0) e.acknowledgeStop();
  const int32_t start = e.program.next();
  const int32_t depth = e.stack.depth();
  bool ok = false;
  {
    Compiler compiler(e, Compiler::Mode::Description);
    compiler.expressionList(node);
    if (!compiler.failed()) {
      const RunResult r = e.run(start, e.program.next());
      // A stop stays pending for the method around the expression.
      if (!r.stopped) {
        ok = e.stack.depth() == depth + 1;
        if (!ok) e.ui.errorBox(msg::ExpressionRun);
      }
    }
  }
  e.program.cutBack(start);
  if (!ok) e.stack.setDepth(depth);
  return ok;
}

bool MethodEngine::evaluateSpecifier(const EddNode* node) {
  Impl& e = *impl_;
  EvaluationDepth nesting(e);
  if (!nesting) return false;
  if (!node) {
    e.ui.errorBox(msg::SpecifierNull);
    return false;
  }
  if (node->tag == +Tag::Direct) return evaluateExpression(node->child);

  if (node->tag == +Tag::If) {
    const EddNode* condition = node->child;
    const EddNode* then = condition ? condition->sibling : nullptr;
    const EddNode* otherwise = then ? then->sibling : nullptr;
    if (!evaluateExpression(condition)) return false;
    Entry value = e.stack.pop();
    convert(value, +TypeCode::Int);
    // Only 1 counts as true.
    const EddNode* branch = value.asInt64() == 1 ? then : otherwise;
    const uint16_t expected = branch == then ? +Tag::Then : +Tag::Else;
    if (branch && branch->tag != expected) e.tagMismatch(branch->tag, expected);
    return evaluateSpecifier(branch ? branch->child : nullptr);
  }

  if (node->tag == +Tag::Select) {
    const EddNode* selector = node->child;
    if (!evaluateExpression(selector)) return false;
    for (const EddNode* s = selector->sibling; s; s = s->sibling) {
      if (s->tag == +Tag::Case) {
        const EddNode* caseValue = s->child;
        if (!evaluateExpression(caseValue)) {
          e.stack.pop();
          return false;
        }
        Entry c = e.stack.pop();
        Entry sel = e.stack.pop();
        convert(c, +TypeCode::Int);
        convert(sel, +TypeCode::Int);
        if (static_cast<int32_t>(c.asInt64()) == static_cast<int32_t>(sel.asInt64())) {
          return evaluateSpecifier(caseValue->sibling);
        }
        e.stack.push(sel);
      } else if (s->tag == +Tag::Default) {
        e.stack.pop();
        return evaluateSpecifier(s->child);
      } else {
        e.ui.errorBox(msg::SelectionTag);
      }
    }
    // No case matched and there is no default: there is no value, and the
    // selector must not pose as one.
    e.stack.pop();
    e.ui.errorBox(msg::SpecifierNull);
    return false;
  }

  e.ui.errorBox(msg::SpecifierTag);
  return false;
}

int32_t MethodEngine::compileTimeConstant(const EddNode* node) {
  Compiler compiler(*impl_, Compiler::Mode::Method);
  return compiler.constant(node);
}

// --- lower level -----------------------------------------------------------

bool MethodEngine::compileMethodBody(const EddNode* compound) {
  Compiler compiler(*impl_, Compiler::Mode::Method);
  compiler.methodBody(compound);
  return !compiler.failed();
}

int32_t MethodEngine::run(int32_t from, int32_t to) {
  if (impl_->runDepth == 0) impl_->acknowledgeStop();
  return impl_->run(from, to).status;
}

void MethodEngine::reset() {
  Impl& e = *impl_;
  if (e.runDepth > 0) return;
  e.symbols.reset();
  e.program.reset();
  e.level = 0;
  e.contexts.current = -1;
}

void MethodEngine::releaseSymbols(int32_t count) { impl_->symbols.releaseDownTo(count); }

// --- services for built-ins -----------------------------------------------

std::optional<std::string> MethodEngine::stringOf(const Entry& entry) {
  if (entry.kind == kind::StringConstant) return std::string(impl_->model.text(entry.word()));
  if (entry.kind == kind::Address) {
    const std::span<std::byte> bytes = entry.addressed();
    std::string s;
    for (const std::byte b : bytes) {
      if (b == std::byte{0}) break;
      s.push_back(static_cast<char>(b));
    }
    return s;
  }
  impl_->ui.errorBox(msg::StringKind);
  return std::nullopt;
}

std::optional<std::string> MethodEngine::printLocal(int32_t identifier) {
  const Symbol* s = impl_->symbols.find(identifier, impl_->level);
  if (!s) return std::nullopt;
  const Entry v = loadValue(s->bytes(), s->type);
  char text[400];
  switch (s->type) {
    case +TypeCode::Char:
    case +TypeCode::UnsignedChar:
      std::snprintf(text, sizeof text, "%c", static_cast<int>(static_cast<char>(v.asInt64())));
      break;
    case +TypeCode::Short:
    case +TypeCode::Int:
    case +TypeCode::UnsignedInt:
      std::snprintf(text, sizeof text, "%d", static_cast<int>(static_cast<int32_t>(v.asInt64())));
      break;
    case +TypeCode::UnsignedShort:
      std::snprintf(text, sizeof text, "%u", static_cast<unsigned>(v.asInt64()));
      break;
    case +TypeCode::Float:
    case +TypeCode::Double:
      std::snprintf(text, sizeof text, "%f", v.numeric());
      break;
    default:
      impl_->ui.errorBox(msg::PrintType);
      return std::nullopt;
  }
  return std::string(text);
}

bool MethodEngine::expectKind(const Entry& entry, int32_t expectedKind) {
  if (entry.kind == expectedKind) return true;
  impl_->tagMismatch(entry.kind, expectedKind);
  return false;
}

void MethodEngine::reportTagMismatch(int32_t found, int32_t expected) { impl_->tagMismatch(found, expected); }

// --- stopping ------------------------------------------------------------

void MethodEngine::requestStop() {
  std::lock_guard lock(impl_->stopMutex);
  impl_->stopRequests.fetch_add(1, std::memory_order_relaxed);
  impl_->stopSource.request_stop();
}

std::stop_token MethodEngine::stopToken() {
  std::lock_guard lock(impl_->stopMutex);
  return impl_->stopSource.get_token();
}

void MethodEngine::Impl::acknowledgeStop() {
  std::lock_guard lock(stopMutex);
  stopsSeen = stopRequests.load(std::memory_order_relaxed);
  if (stopSource.stop_requested()) stopSource = std::stop_source();
}

}  // namespace tavrin::methods

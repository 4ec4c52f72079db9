// Compiles and runs trees decoded from the fuzzer's bytes: as a method body,
// as a called method and as a description expression. Each byte picks a tag
// from those the engine knows (or any number), a value and a child count, so
// most inputs are near-valid programs. A watchdog stops runs that loop.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <deque>
#include <iostream>
#include <mutex>
#include <thread>

#include "edd/tags.h"
#include "methods/engine.h"
#include "ui/console_user_interface.h"

namespace {

using namespace tavrin::methods;

// Texts 0 to 3 name variables, 4 the method itself, 5 to 7 built-ins.
const char* const kTexts[] = {"a", "b", "c", "d", "self", "abort", "add_abort_method", "BeginWaitCursor"};

class Model : public MethodModel {
 public:
  EddNode* method = nullptr;
  EddNode variable{22, 0, nullptr, nullptr};
  Entry values[4] = {Entry::ofInt(1), Entry::ofFloat(2.5f), Entry::ofUnsigned(3), Entry::ofDouble(-4)};

  std::string_view text(int32_t index) const override {
    return index >= 0 && index < 8 ? kTexts[index] : std::string_view{};
  }
  const EddNode* findObject(int32_t id) const override {
    if (id >= 0 && id < 4) return &variable;
    return id == 4 ? method : nullptr;
  }
  std::optional<Entry> variableValue(int32_t id) override {
    if (id < 0 || id >= 4) return std::nullopt;
    return values[id];
  }
  bool assignVariable(int32_t id, const Entry& value) override {
    if (id < 0 || id >= 4 || value.kind != kind::Value) return false;
    values[id] = value;
    return true;
  }
  std::optional<int32_t> resolveReference(const EddNode& reference) override {
    if (reference.tag == 30 && reference.value < 4) return static_cast<int32_t>(reference.value);
    return std::nullopt;
  }
};

constexpr uint16_t kTags[] = {
    30,  54,  55,  56,  57,  58,  59,  62,  63,  99,  212, 236, 249, 260, 261, 262, 263, 264, 265, 266, 267,
    268, 269, 270, 271, 272, 273, 274, 275, 276, 277, 278, 279, 280, 281, 282, 283, 284, 357, 398, 399, 400,
    405, 405, 405, 408, 409, 412, 412, 414, 415, 416, 417, 418, 419, 420, 421, 422, 423, 424, 425, 426, 427,
    428, 429, 430, 432, 433, 434, 439, 443, 444, 445, 446, 447, 448, 449, 450, 451, 452, 453, 454, 455, 456,
    457, 458, 459, 460, 461, 462, 463, 464, 465, 466, 467, 472, 473, 474, 475, 476, 477, 478, 479, 480, 481,
    482, 496};

class Decoder {
 public:
  Decoder(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  EddNode* tree(int depth) {
    EddNode& n = nodes_.emplace_back();
    const uint8_t pick = next();
    n.tag = pick < 240 ? kTags[pick % std::size(kTags)] : static_cast<uint16_t>(next() * 3);
    if (n.tag == 30) {
      n.value = next() % 9;
    } else if (n.tag == 399) {
      const uint8_t v = next();
      n.value = v < 200 ? v % 12 : 0x80000000u + v;
    } else if (n.tag == 398) {
      n.value = next() * 0x01010101u;
    } else if (n.tag == 99) {
      n.value = next() % 10;
    }
    const int children = depth > 60 ? 0 : next() % 5;
    EddNode** link = &n.child;
    for (int i = 0; i < children && pos_ < size_; ++i) {
      *link = tree(depth + 1);
      link = &(*link)->sibling;
    }
    return &n;
  }
  bool done() const { return pos_ >= size_; }

 private:
  uint8_t next() { return pos_ < size_ ? data_[pos_++] : 0; }
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
  std::deque<EddNode> nodes_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::ostream nowhere(nullptr);
  tavrin::ui::ConsoleUserInterface ui(std::cin, nowhere, nowhere, {});
  Model model;
  MethodEngine engine(ui, model);
  engine.builtins().add(BuiltinId::abort, [](MethodEngine&) { return -2; });
  engine.builtins().add(BuiltinId::add_abort_method, [](MethodEngine& e) {
    e.addAbortMethod(popReference(e).word());
    return 0;
  });
  engine.builtins().add(BuiltinId::BeginWaitCursor, [](MethodEngine& e) {
    e.stack().push(Entry::ofInt(1));
    return 7;
  });

  Decoder decoder(data, size);
  EddNode* body = decoder.tree(0);
  EddNode* expression = decoder.tree(0);
  EddNode identifier{30, 4, nullptr, nullptr};
  EddNode definition{478, 0, body, nullptr};
  identifier.sibling = &definition;
  EddNode method{15, 0, &identifier, nullptr};
  model.method = &method;

  // Runs that loop are stopped after a while, as a person would.
  std::mutex mutex;
  std::condition_variable finished;
  bool done = false;
  std::thread watchdog([&] {
    std::unique_lock lock(mutex);
    while (!finished.wait_for(lock, std::chrono::milliseconds(20), [&] { return done; })) engine.requestStop();
  });
  engine.runMethod(method);
  engine.evaluateSpecifier(expression);
  engine.runMethodSpecification(expression);
  {
    std::lock_guard lock(mutex);
    done = true;
  }
  finished.notify_one();
  watchdog.join();
  return 0;
}

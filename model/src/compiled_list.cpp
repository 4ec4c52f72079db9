#include "model/compiled_list.h"

#include "messages.h"
#include "methods/engine.h"
#include "ui/user_interface.h"

namespace tavrin::model {

ListWriter::ListWriter(methods::ValueStack& stack) : stack_(stack), start_(stack.depth()) {}

void ListWriter::beginItem(int32_t kind) {
  endItem();
  if (push(Entry::tagged(kind, 0, 0))) open_ = stack_.depth() - 1;
}

void ListWriter::endItem() {
  if (open_ < 0) return;
  if (methods::Entry* opening = stack_.at(open_)) opening->type = stack_.depth() - open_ - 1;
  open_ = -1;
}

bool ListWriter::push(const Entry& e) {
  if (failed_) return false;
  if (!stack_.push(e)) failed_ = true;
  return !failed_;
}

bool ListWriter::finish(int32_t listKind) {
  endItem();
  if (stack_.depth() < start_) failed_ = true;  // someone popped what was not theirs
  if (!failed_) push(Entry::tagged(listKind, stack_.depth() - start_, 0));
  if (failed_) {
    if (stack_.depth() > start_) stack_.setDepth(start_);
    return false;
  }
  return true;
}

CompiledList::CompiledList(methods::MethodEngine& engine, int32_t start, int32_t listKind) : engine_(engine) {
  methods::ValueStack& stack = engine.stack();
  if (stack.depth() <= start) return;
  const Entry closing = stack.pop();
  if (closing.kind != listKind) {
    engine.reportTagMismatch(closing.kind, listKind);
  } else if (closing.type != stack.depth() - start) {
    engine.ui().errorBox(msg::ListIncorrect);
  } else {
    ok_ = true;
    for (int32_t i = start; i < stack.depth(); ++i) entries_.push_back(*stack.at(i));
  }
  stack.setDepth(start);
}

std::vector<CompiledList::Item> CompiledList::items() const& {
  std::vector<Item> items;
  const size_t total = entries_.size();
  size_t i = 0;
  while (i < total) {
    const int32_t n = entries_[i].type;
    if (n < 0 || static_cast<size_t>(n) > total - i - 1) break;
    items.push_back({entries_[i].kind, std::span<const Entry>(entries_).subspan(i + 1, static_cast<size_t>(n))});
    i += static_cast<size_t>(n) + 1;
  }
  if (i != total) engine_.ui().errorBox(msg::ListIncorrect);
  return items;
}

}  // namespace tavrin::model

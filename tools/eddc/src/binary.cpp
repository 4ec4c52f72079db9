#include "eddtext/binary.h"

#include <cstring>

#include "edd/tags.h"

namespace tavrin::eddtext {
namespace {

class Reader {
 public:
  explicit Reader(std::string_view bytes) : bytes_(bytes) {}

  bool u16(uint16_t& out) {
    if (bytes_.size() - pos_ < 2) return false;
    out = static_cast<uint16_t>(byte(0) | byte(1) << 8);
    pos_ += 2;
    return true;
  }
  bool u32(uint32_t& out) {
    if (bytes_.size() - pos_ < 4) return false;
    out = uint32_t{byte(0)} | uint32_t{byte(1)} << 8 | uint32_t{byte(2)} << 16 | uint32_t{byte(3)} << 24;
    pos_ += 4;
    return true;
  }
  bool text(std::string& out) {
    size_t end = bytes_.find('\0', pos_);
    if (end == std::string_view::npos) return false;
    out.assign(bytes_.substr(pos_, end - pos_));
    pos_ = end + 1;
    return true;
  }
  std::string_view rest() const { return bytes_.substr(pos_); }
  size_t offset() const { return pos_; }

 private:
  unsigned byte(size_t i) const { return static_cast<unsigned char>(bytes_[pos_ + i]); }
  std::string_view bytes_;
  size_t pos_ = 0;
};

bool readNode(Reader& in, Node& node, int32_t& children) {
  uint32_t count = 0;
  if (!in.u16(node.tag)) return false;
  if (edd::carriesValue(node.tag) && !in.u32(node.value)) return false;
  if (!in.u32(count)) return false;
  children = static_cast<int32_t>(count);
  if (children < 0) node.declaredChildren = count;
  return true;
}

// Reads one tree in pre-order; `remaining` per open level replaces recursion.
bool readTree(Reader& in, Tree& tree) {
  std::vector<uint32_t> remaining;
  do {
    while (!remaining.empty() && remaining.back() == 0) remaining.pop_back();
    if (!tree.empty() && remaining.empty()) return true;
    if (!remaining.empty()) --remaining.back();
    Node node;
    node.depth = static_cast<uint32_t>(remaining.size());
    int32_t children = 0;
    if (!readNode(in, node, children)) return false;
    tree.push_back(node);
    if (children > 0) remaining.push_back(static_cast<uint32_t>(children));
  } while (!remaining.empty());
  return true;
}

}  // namespace

ParsedBinary parseBinary(std::string_view bytes) {
  ParsedBinary out;
  Document& doc = out.document;
  Reader in(bytes);
  auto fail = [&](std::string message) {
    out.error = BinaryError{in.offset(), std::move(message)};
    return out;
  };
  for (uint16_t& word : doc.header)
    if (!in.u16(word)) return fail("the file ends inside the header words");
  std::array<uint32_t, kListCount> counts{};
  for (uint32_t& count : counts)
    if (!in.u32(count)) return fail("the file ends inside the object counts");
  for (int list = 0; list < kListCount; ++list) {
    for (uint32_t n = 0; n < counts[list]; ++n) {
      Tree tree;
      bool ok = readTree(in, tree);
      if (!tree.empty()) doc.lists[list].push_back(std::move(tree));
      if (!ok) {
        doc.declaredCounts[list] = counts[list];
        return fail("the file ends inside tree " + std::to_string(n) + " of list " + std::to_string(list));
      }
    }
  }
  uint32_t textCount = 0;
  if (!in.u32(textCount)) return fail("the file ends inside the text count");
  if (static_cast<int32_t>(textCount) < 0) doc.declaredTextCount = textCount;
  for (int32_t i = 0; i < static_cast<int32_t>(textCount); ++i) {
    std::string text;
    if (!in.text(text)) {
      doc.declaredTextCount = textCount;
      return fail("the file ends inside text " + std::to_string(i));
    }
    doc.texts.push_back(std::move(text));
  }
  doc.trailing = in.rest();
  return out;
}

namespace {

void put16(std::string& out, uint16_t v) {
  out += static_cast<char>(v & 0xFF);
  out += static_cast<char>(v >> 8);
}

void put32(std::string& out, uint32_t v) {
  for (int shift = 0; shift < 32; shift += 8) out += static_cast<char>((v >> shift) & 0xFF);
}

}  // namespace

std::string writeBinary(const Document& doc) {
  std::string out;
  for (uint16_t word : doc.header) put16(out, word);
  for (int list = 0; list < kListCount; ++list)
    put32(out, doc.declaredCounts[list].value_or(static_cast<uint32_t>(doc.lists[list].size())));
  for (const auto& trees : doc.lists) {
    for (const Tree& tree : trees) {
      const std::vector<uint32_t> counts = childCounts(tree);
      for (size_t i = 0; i < tree.size(); ++i) {
        put16(out, tree[i].tag);
        if (edd::carriesValue(tree[i].tag)) put32(out, tree[i].value);
        put32(out, tree[i].declaredChildren.value_or(counts[i]));
      }
    }
  }
  put32(out, doc.declaredTextCount.value_or(static_cast<uint32_t>(doc.texts.size())));
  for (const std::string& text : doc.texts) {
    out += text;
    out += '\0';
  }
  out += doc.trailing;
  return out;
}

}  // namespace tavrin::eddtext

// Descriptions for tests in the readable tree form, built from small pieces
// so that a test shows what matters: which variables, which commands, which
// items. Each piece is a node with its children indented below it.
#pragma once

#include <initializer_list>
#include <string>

namespace tavrin::model::testing::tree {

// The lines of a piece, one level deeper.
inline std::string indent(const std::string& piece) {
  std::string text;
  for (size_t at = 0; at < piece.size();) {
    const size_t end = piece.find('\n', at);
    text += "  " + piece.substr(at, end - at) + "\n";
    at = end == std::string::npos ? piece.size() : end + 1;
  }
  return text;
}

inline std::string node(const std::string& head, std::initializer_list<std::string> children = {}) {
  std::string text = head + "\n";
  for (const std::string& child : children) text += indent(child);
  return text;
}

inline std::string quoted(const std::string& s) { return "\"" + s + "\""; }
inline std::string id(const std::string& name) { return node("identifier " + quoted(name)); }
inline std::string integer(long long v) { return node("integer-constant " + std::to_string(v)); }
inline std::string direct(const std::string& value) { return node("direct", {value}); }
inline std::string label(const std::string& text) {
  return node("label", {direct(node("string", {node("string-literal " + quoted(text))}))});
}

// A variable of a sized type ("integer", "unsigned-integer", "text-string").
inline std::string variable(const std::string& name, const std::string& type, int size,
                            std::initializer_list<std::string> attributes = {}) {
  std::string text = node("variable", {id(name), node("type", {node(type, {integer(size)})})});
  for (const std::string& a : attributes) text += indent(a);
  return text;
}

// Data items and transactions.
inline std::string ref(const std::string& name) { return node("data-reference", {id(name)}); }
inline std::string constant(long long v) { return node("data-constant", {integer(v)}); }
inline std::string items(const std::string& part, std::initializer_list<std::string> list) {
  std::string text = part + "\n";
  for (const std::string& item : list) text += indent(item);
  return text;
}
inline std::string transaction(int number, const std::string& request, const std::string& reply) {
  return node("transaction", {integer(number), request, reply});
}
inline std::string reply(std::initializer_list<std::string> list) {
  return transaction(0, "request", items("reply", list));
}
inline std::string request(std::initializer_list<std::string> list) {
  return transaction(0, items("request", list), "reply");
}

// A Profibus command by slot and index; operation "read", "write" or "command".
inline std::string command(const std::string& name, int slot, int index, const std::string& operation,
                           std::initializer_list<std::string> transactions) {
  std::string text =
      node("command", {id(name), node("slot", {direct(integer(slot))}), node("index", {direct(integer(index))}),
                       node("operation", {direct(node(operation))})});
  for (const std::string& t : transactions) text += indent(t);
  return text;
}

inline std::string list(int number, std::initializer_list<std::string> objects) {
  std::string text = "list " + std::to_string(number) + "\n";
  for (const std::string& o : objects) text += indent(o);
  return text;
}

}  // namespace tavrin::model::testing::tree

// The recursive-descent parser: objects and their attributes (parser.cpp),
// expressions and method bodies (body.cpp). It builds the trees as they
// will be written, interns every name and text into the one text table, and
// records each name it meets so that the checks after parsing can tell
// whether it names what it should.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "eddl/compiler.h"
#include "eddl/lexer.h"

namespace tavrin::eddl {

struct Ast {
  uint16_t tag = 0;
  uint32_t value = 0;
  std::vector<Ast> children;

  Ast() = default;
  explicit Ast(uint16_t t, uint32_t v = 0) : tag(t), value(v) {}
  Ast(uint16_t t, std::vector<Ast> c) : tag(t), children(std::move(c)) {}
  Ast& add(Ast child) {
    children.push_back(std::move(child));
    return *this;
  }
};

enum class Kind { Variable, Command, Menu, Method, Collection, Array, Unit, Block };
inline constexpr int kKindCount = 8;
using KindSet = unsigned;
constexpr KindSet bit(Kind k) { return 1u << static_cast<int>(k); }
inline constexpr KindSet kAnyKind = (1u << kKindCount) - 1;
// What an item of a menu, a collection, an array or a data list may name.
inline constexpr KindSet kValueKinds = bit(Kind::Variable) | bit(Kind::Collection) | bit(Kind::Array);

const char* kindName(Kind kind);

struct Object {
  Kind kind = Kind::Variable;
  std::string name;
  int line = 0, column = 0;
  int list = 0;
  Ast root;
  // Collections whose members are a plain list: their member names, so
  // that a member reference can be checked.
  bool membersKnown = false;
  std::set<std::string> members;
};

// A name met in the source that must name an object of one of these kinds;
// with `member`, the object is a collection that must have that member.
struct Use {
  std::string name;
  int line = 0, column = 0;
  KindSet kinds = kAnyKind;
  std::string member;
};

class Texts {
 public:
  uint32_t intern(const std::string& text);
  const std::vector<std::string>& list() const { return list_; }

 private:
  std::vector<std::string> list_;
  std::unordered_map<std::string, uint32_t> index_;
};

struct ParseError {};

class Parser {
 public:
  Parser(std::vector<Token> tokens, std::vector<Diagnostic>& diagnostics);

  void run();

  std::vector<Object> objects;
  std::vector<Use> uses;
  Texts texts;

 private:
  enum class Mode { Description, Method };

  // Tokens.
  const Token& peek(size_t ahead = 0) const;
  const Token& next();
  bool at(std::string_view punct) const { return peek().is(punct); }
  bool atWord(std::string_view word) const { return peek().isWord(word); }
  bool accept(std::string_view punct);
  void expect(std::string_view punct, std::string_view where);
  void open(std::string_view where) { expect("{", where); }
  void close(std::string_view where) { expect("}", where); }
  std::string identifier(std::string_view what);
  [[noreturn]] void fail(const Token& at, std::string message);
  void report(const Token& at, std::string message);
  void recover(size_t definitionStart);
  bool atDefinition() const;

  // Shared pieces.
  Ast ident(const std::string& name) { return Ast(30, texts.intern(name)); }
  Ast identUse(const Token& at, const std::string& name, KindSet kinds);
  uint32_t integer(std::string_view what, int64_t min, int64_t max);
  std::string text(std::string_view what);
  Ast reference(KindSet kinds);
  struct Nesting {
    Parser& p;
    explicit Nesting(Parser& parser);
    ~Nesting() { --p.nesting_; }
  };

  // Conditional values: IF, SELECT or the value itself (tag 58).
  template <class B, class C>
  Ast choice(B ifBranch, C caseBranch);
  template <class F>
  Ast conditional(F plain);
  template <class F>
  Ast conditionalList(F item, std::string_view separator);
  template <class F>
  Ast listBody(F item, std::string_view separator);
  Ast stringValue();
  Ast plainString();
  Ast directString() { return Ast(58).add(plainString()); }
  bool toStringValue(Ast& specifier);
  bool holdsText(const Ast& specifier) const;
  Ast expressionValue();
  Ast actions();
  Ast attribute(uint16_t tag, Ast content) { return Ast(tag, std::vector<Ast>{std::move(content)}); }
  void once(std::set<std::string>& seen, const Token& at);

  // Objects.
  void definition();
  Object& begin(Kind kind, const Token& at, const std::string& name, int list);
  void variable();
  Ast type(uint16_t& typeTag);
  void typeAttributes(Ast& type, uint16_t typeTag);
  Ast enumerator(bool bits);
  void command();
  Ast transaction(uint32_t number);
  Ast dataItem();
  void menu();
  Ast menuItem();
  void method();
  void collectionOrArray(bool array);
  void unit();
  void block();
  bool commonAttribute(const Token& word, Ast& root, std::set<std::string>& seen);
  template <class F>
  void attributeLoop(Ast& root, std::set<std::string>& seen, std::string_view what, F handle);
  uint32_t classFlags();

  // Expressions and method bodies.
  Ast expressionList(Mode mode);
  Ast expression(Mode mode);
  Ast binary(Mode mode, int level);
  Ast unary(Mode mode);
  Ast postfix(Mode mode);
  Ast primary(Mode mode);
  Ast numberConstant(const Token& t, bool negative);
  bool isLvalue(const Ast& node) const;
  Ast body();
  Ast compound(bool top);
  bool atTypeSpecifier() const;
  Ast declaration();
  Ast statement();
  Ast condition(Mode mode = Mode::Description);
  Ast constant(std::string_view what, int64_t& value);
  Ast call(const Token& callee, const std::string& name);

  std::vector<Token> tokens_;
  std::vector<Diagnostic>& diagnostics_;
  size_t p_ = 0;
  int depth_ = 0;    // braces opened and not yet closed in this definition
  int nesting_ = 0;  // recursion guard
  std::map<std::string, std::pair<int, int>> defined_;
  std::set<std::string> locals_;  // of the method being parsed
  int loops_ = 0, switches_ = 0;  // open around the statement being parsed
};

}  // namespace tavrin::eddl

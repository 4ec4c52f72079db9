// Expressions, in the two vocabularies the engine compiles (method bodies
// and description attributes use different tags for the same operators),
// and method bodies: declarations and statements.
#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>
#include <string>

#include "edd/tags.h"
#include "eddl/parser.h"
#include "methods/builtins.h"

namespace tavrin::eddl {

using edd::Tag;

namespace {

struct Operator {
  std::string_view text;
  Tag method;
  Tag description;
};

// C's binary operators by precedence, loosest first.
const std::vector<std::vector<Operator>> kBinary = {
    {{"||", Tag::LogicalOr, Tag::ExprLogicalOr}},
    {{"&&", Tag::LogicalAnd, Tag::ExprLogicalAnd}},
    {{"|", Tag::BitOr, Tag::ExprBitOr}},
    {{"^", Tag::BitXor, Tag::ExprBitXor}},
    {{"&", Tag::BitAnd, Tag::ExprBitAnd}},
    {{"==", Tag::Eq, Tag::ExprEq}, {"!=", Tag::Ne, Tag::ExprNe}},
    {{"<", Tag::Lt, Tag::ExprLt}, {">", Tag::Gt, Tag::ExprGt}, {"<=", Tag::Le, Tag::ExprLe}, {">=", Tag::Ge, Tag::ExprGe}},
    {{"<<", Tag::Shl, Tag::ExprShl}, {">>", Tag::Shr, Tag::ExprShr}},
    {{"+", Tag::Add, Tag::ExprAdd}, {"-", Tag::Sub, Tag::ExprSub}},
    {{"*", Tag::Mul, Tag::ExprMul}, {"/", Tag::Div, Tag::ExprDiv}, {"%", Tag::Mod, Tag::ExprMod}},
};

constexpr std::pair<std::string_view, Tag> kAssignments[] = {
    {"=", Tag::Assign},       {"*=", Tag::MulAssign},  {"/=", Tag::DivAssign}, {"%=", Tag::ModAssign},
    {"+=", Tag::AddAssign},   {"-=", Tag::SubAssign},  {">>=", Tag::ShrAssign}, {"<<=", Tag::ShlAssign},
    {"&=", Tag::AndAssign},   {"^=", Tag::XorAssign},  {"|=", Tag::OrAssign},
};

constexpr std::pair<std::string_view, Tag> kSpecifiers[] = {
    {"char", Tag::Char},         {"short", Tag::Short},    {"int", Tag::Int},
    {"long", Tag::Long},         {"signed", Tag::Signed},  {"unsigned", Tag::Unsigned},
    {"float", Tag::FloatSpecifier}, {"double", Tag::DoubleSpecifier},
};

}  // namespace

// ---------------------------------------------------------------- expressions

Ast Parser::condition(Mode mode) {
  expect("(", "before the condition");
  Ast list = expressionList(mode);
  expect(")", "after the condition");
  return list;
}

Ast Parser::expressionList(Mode mode) {
  Ast list(+Tag::Expression);
  do {
    list.add(expression(mode));
  } while (accept(","));
  return list;
}

Ast Parser::expression(Mode mode) {
  Nesting guard(*this);
  Ast left = binary(mode, 0);
  if (at("?")) fail(peek(), "the conditional operator ?: is not supported");
  for (const auto& [text, tag] : kAssignments) {
    if (!at(text)) continue;
    const Token& op = peek();
    if (mode == Mode::Description) fail(op, "assignments belong in methods, not in description expressions");
    if (!isLvalue(left)) fail(op, "only a variable or an array element can be assigned");
    next();
    Ast right = expression(mode);
    return Ast(+tag, std::vector<Ast>{std::move(left), std::move(right)});
  }
  return left;
}

Ast Parser::binary(Mode mode, int level) {
  if (level == static_cast<int>(kBinary.size())) return unary(mode);
  Ast left = binary(mode, level + 1);
  for (;;) {
    const Operator* found = nullptr;
    for (const Operator& op : kBinary[static_cast<size_t>(level)]) {
      if (at(op.text)) found = &op;
    }
    if (!found) return left;
    next();
    Ast right = binary(mode, level + 1);
    left = Ast(+(mode == Mode::Method ? found->method : found->description),
               std::vector<Ast>{std::move(left), std::move(right)});
  }
}

Ast Parser::unary(Mode mode) {
  Nesting guard(*this);
  const Token& t = peek();
  const bool method = mode == Mode::Method;
  // A minus right before a number is part of the number, so that constant
  // expressions (case labels, array sizes) may be negative.
  if (t.is("-") && (peek(1).kind == TokenKind::Integer || peek(1).kind == TokenKind::Float)) {
    next();
    return numberConstant(next(), true);
  }
  if (t.is("+")) return next(), Ast(method ? +Tag::UnaryPlus : +Tag::ExprPlus).add(unary(mode));
  if (t.is("-")) return next(), Ast(method ? +Tag::Negate : +Tag::ExprNegate).add(unary(mode));
  if (t.is("~")) return next(), Ast(method ? +Tag::Complement : +Tag::ExprComplement).add(unary(mode));
  if (t.is("!")) return next(), Ast(method ? +Tag::Not : +Tag::ExprNot).add(unary(mode));
  if (t.is("++") || t.is("--")) {
    if (!method) fail(t, "++ and -- belong in methods, not in description expressions");
    const bool increment = t.is("++");
    next();
    Ast operand = unary(mode);
    if (!isLvalue(operand)) fail(t, "only a variable or an array element can be incremented or decremented");
    return Ast(increment ? +Tag::PreInc : +Tag::PreDec).add(std::move(operand));
  }
  if (t.is("(") && peek(1).kind == TokenKind::Identifier &&
      std::any_of(std::begin(kSpecifiers), std::end(kSpecifiers), [&](auto& s) { return s.first == peek(1).text; })) {
    fail(t, "casts are not supported; assign the value to a variable of the type instead");
  }
  return postfix(mode);
}

Ast Parser::postfix(Mode mode) {
  Ast e = primary(mode);
  if (mode == Mode::Description) return e;
  for (;;) {
    const Token& t = peek();
    if (t.is("[")) {
      if (e.tag != +Tag::Identifier && e.tag != +Tag::Subscript) fail(t, "only an array can be indexed");
      next();
      Ast index = expression(mode);
      expect("]", "after the index");
      e = Ast(+Tag::Subscript, std::vector<Ast>{std::move(e), std::move(index)});
    } else if (t.is("++") || t.is("--")) {
      if (!isLvalue(e)) fail(t, "only a variable or an array element can be incremented or decremented");
      next();
      e = Ast(t.is("++") ? +Tag::PostInc : +Tag::PostDec).add(std::move(e));
    } else if (t.is("(")) {
      fail(t, "only a name can be called");
    } else if (t.is(".")) {
      fail(t, "a method reaches collection members and array elements only through variables named directly");
    } else {
      return e;
    }
  }
}

Ast Parser::primary(Mode mode) {
  const Token& t = peek();
  switch (t.kind) {
    case TokenKind::Integer:
    case TokenKind::Float:
      return numberConstant(next(), false);
    case TokenKind::String:
      return Ast(+Tag::StringConstant, texts.intern(text("a text")));
    case TokenKind::Identifier: {
      if (mode == Mode::Description) {
        if (peek(1).is("(")) fail(t, "function calls belong in methods, not in description expressions");
        return Ast(+Tag::Reference).add(reference(bit(Kind::Variable)));
      }
      const Token& where = next();
      if (at("(")) return call(where, where.text);
      if (locals_.count(where.text)) return ident(where.text);
      return identUse(where, where.text, kAnyKind);
    }
    default:
      break;
  }
  if (t.is("(")) {
    next();
    Ast list = expressionList(mode);
    expect(")", "to close the parenthesis");
    return list;
  }
  if (t.is("[") && mode == Mode::Description) fail(t, "dictionary texts ([name]) are not supported");
  if (t.kind == TokenKind::End) fail(t, "the file ends inside an expression");
  fail(t, "expected an expression, found '" + t.text + "'");
}

Ast Parser::numberConstant(const Token& t, bool negative) {
  if (t.kind == TokenKind::Float) {
    const double value = negative ? -t.real : t.real;
    const auto single = static_cast<float>(value);
    if (!std::isfinite(value) || !std::isfinite(single)) fail(t, "a number too large for a float");
    return Ast(+Tag::FloatConstant, std::bit_cast<uint32_t>(single));
  }
  if (negative ? t.integer > uint64_t{0x80000000} : t.integer > uint64_t{0xFFFFFFFF}) {
    fail(t, "an integer outside 32 bits");
  }
  const uint32_t value = static_cast<uint32_t>(t.integer);
  return Ast(+Tag::IntegerConstant, negative ? 0u - value : value);
}

bool Parser::isLvalue(const Ast& node) const {
  return node.tag == +Tag::Identifier || node.tag == +Tag::Subscript;
}

Ast Parser::call(const Token& callee, const std::string& name) {
  expect("(", "to start the arguments");
  Ast node(+Tag::Call);
  node.add(ident(name));
  if (!at(")")) {
    do {
      node.add(expression(Mode::Method));
    } while (accept(","));
  }
  expect(")", "after the arguments");
  const int count = static_cast<int>(node.children.size()) - 1;
  if (const methods::BuiltinInfo* b = methods::builtinInfo(name)) {
    if (b->arguments >= 0 && b->arguments != count) {
      report(callee, name + " takes " + std::to_string(b->arguments) + " argument" + (b->arguments == 1 ? "" : "s") +
                         ", not " + std::to_string(count));
    }
  } else {
    uses.push_back({name, callee.line, callee.column, bit(Kind::Method), {}});
    if (count) report(callee, "a method takes no arguments");
  }
  return node;
}

// ---------------------------------------------------------------- bodies

Ast Parser::body() {
  locals_.clear();
  loops_ = switches_ = 0;
  return compound(true);
}

bool Parser::atTypeSpecifier() const {
  const Token& t = peek();
  if (t.kind != TokenKind::Identifier) return false;
  return std::any_of(std::begin(kSpecifiers), std::end(kSpecifiers), [&](auto& s) { return s.first == t.text; }) ||
         t.text == "const" || t.text == "void" || t.text == "static" || t.text == "struct";
}

Ast Parser::compound(bool top) {
  Nesting guard(*this);
  open(top ? "to start the method's definition" : "to start the block");
  Ast node(+Tag::Compound);
  Ast declarations(+Tag::DeclarationList), statements(+Tag::StatementList);
  while (atTypeSpecifier()) declarations.add(declaration());
  while (!at("}")) {
    if (atTypeSpecifier()) fail(peek(), "declarations come before the statements of a block");
    statements.add(statement());
  }
  close(top ? "to end the method's definition" : "to end the block");
  if (!declarations.children.empty()) node.add(std::move(declarations));
  if (!statements.children.empty()) node.add(std::move(statements));
  return node;
}

Ast Parser::declaration() {
  Ast specifiers(+Tag::SpecifierList);
  std::set<std::string> words;
  while (atTypeSpecifier()) {
    const Token& t = next();
    const auto found =
        std::find_if(std::begin(kSpecifiers), std::end(kSpecifiers), [&](auto& s) { return s.first == t.text; });
    if (found == std::end(kSpecifiers)) fail(t, "'" + t.text + "' is not supported in declarations");
    words.insert(t.text);
    specifiers.add(Ast(+found->second));
  }
  const bool real = words.count("float") || words.count("double");
  const bool integral = words.count("char") || words.count("short") || words.count("int") || words.count("long") ||
                        words.count("signed") || words.count("unsigned");
  if ((real && integral) || (words.count("float") && words.count("double"))) {
    fail(peek(), "these type words do not make one type");
  }
  // The engine's sizes for the type codes these words give.
  const int64_t size = words.count("char") ? 1 : words.count("short") ? 2 : words.count("double") ? 8 : 4;
  Ast declaration(+Tag::Declaration);
  declaration.add(std::move(specifiers));
  do {
    const std::string name = identifier("the name of a local variable");
    Ast declarator(+Tag::Declarator);
    declarator.add(ident(name));
    int64_t bytes = size;
    int dimensions = 0;
    while (at("[")) {
      const Token& bracket = next();
      if (at("]")) fail(bracket, "an array needs its size");
      int64_t extent = 0;
      declarator.add(constant("an array size", extent));
      expect("]", "after the array size");
      if (++dimensions > 4) fail(bracket, "an array has at most 4 dimensions");
      if (extent < 1) fail(bracket, "an array size is at least 1");
      bytes *= extent;
      if (bytes > 0xFFFF) fail(bracket, "a local array holds at most 65535 bytes");
      declarator.tag = +Tag::ArrayDeclarator;
    }
    if (at("=")) fail(peek(), "a declaration takes no initial value; assign it in a statement");
    locals_.insert(name);
    declaration.add(std::move(declarator));
  } while (accept(","));
  expect(";", "after the declaration");
  return declaration;
}

// Array sizes and case labels are folded by the engine when it compiles,
// which knows numbers and + - * / % only.
Ast Parser::constant(std::string_view what, int64_t& value) {
  const Token& where = peek();
  Ast e = binary(Mode::Method, 0);
  std::string fault;
  auto fold = [&](auto& self, const Ast& n) -> int64_t {
    if (n.tag == +Tag::IntegerConstant) return static_cast<int32_t>(n.value);
    if (n.tag == +Tag::FloatConstant) {
      const float f = std::bit_cast<float>(n.value);
      return std::isfinite(f) && std::fabs(f) < 2147483648.0f ? static_cast<int32_t>(f) : 0;
    }
    if (n.tag < +Tag::Mul || n.tag > +Tag::Sub || n.children.size() != 2) {
      fault = std::string(what) + " must be a constant: numbers joined by + - * / %";
      return 0;
    }
    const int64_t l = self(self, n.children[0]), r = self(self, n.children[1]);
    int64_t v = 0;
    switch (static_cast<Tag>(n.tag)) {
      case Tag::Mul: v = l * r; break;
      case Tag::Add: v = l + r; break;
      case Tag::Sub: v = l - r; break;
      default:
        if (r == 0) {
          fault = std::string(what) + " divides by zero";
          return 0;
        }
        v = n.tag == +Tag::Div ? l / r : l % r;
    }
    if (v < INT32_MIN || v > INT32_MAX) fault = std::string(what) + " leaves 32 bits";
    return static_cast<int32_t>(v);
  };
  value = fold(fold, e);
  if (!fault.empty()) fail(where, fault);
  return e;
}

Ast Parser::statement() {
  Nesting guard(*this);
  const Token& t = peek();
  if (t.is("{")) return compound(false);
  if (t.is(";")) return next(), Ast(+Tag::Empty);
  if (t.isWord("if")) {
    next();
    Ast node(+Tag::IfStatement);
    node.add(condition(Mode::Method));
    node.add(statement());
    if (atWord("else")) {
      next();
      node.add(statement());
    }
    return node;
  }
  if (t.isWord("while")) {
    next();
    Ast node(+Tag::While);
    node.add(condition(Mode::Method));
    ++loops_;
    node.add(statement());
    --loops_;
    return node;
  }
  if (t.isWord("do")) {
    next();
    Ast node(+Tag::Do);
    ++loops_;
    node.add(statement());
    --loops_;
    if (!atWord("while")) fail(peek(), "expected 'while' after the body of 'do'");
    next();
    node.add(Ast(+Tag::While)).add(condition(Mode::Method));
    expect(";", "after do ... while (...)");
    return node;
  }
  if (t.isWord("for")) {
    next();
    Ast node(+Tag::For);
    expect("(", "after 'for'");
    node.add(at(";") ? Ast(+Tag::Empty) : expressionList(Mode::Method));
    expect(";", "after the initialisation");
    node.add(at(";") ? Ast(+Tag::Empty) : expressionList(Mode::Method));
    expect(";", "after the condition");
    node.add(at(")") ? Ast(+Tag::Empty) : expressionList(Mode::Method));
    expect(")", "after the step");
    ++loops_;
    node.add(statement());
    --loops_;
    return node;
  }
  if (t.isWord("switch")) {
    next();
    Ast node(+Tag::Switch);
    node.add(condition(Mode::Method));
    ++switches_;
    node.add(statement());
    --switches_;
    return node;
  }
  if (t.isWord("case")) {
    if (!switches_) fail(t, "'case' outside a switch statement");
    next();
    int64_t value = 0;
    Ast label = constant("a case label", value);
    expect(":", "after the case label");
    if (at("}")) fail(peek(), "a label needs a statement after it");
    Ast node(+Tag::Case);
    node.add(std::move(label)).add(statement());
    return node;
  }
  if (t.isWord("default")) {
    if (!switches_) fail(t, "'default' outside a switch statement");
    next();
    expect(":", "after 'default'");
    if (at("}")) fail(peek(), "a label needs a statement after it");
    return Ast(+Tag::Default).add(statement());
  }
  if (t.isWord("break") || t.isWord("continue")) {
    const bool isBreak = t.isWord("break");
    if (isBreak ? loops_ + switches_ == 0 : loops_ == 0) {
      fail(t, isBreak ? "'break' outside a loop or switch" : "'continue' outside a loop");
    }
    next();
    expect(";", isBreak ? "after 'break'" : "after 'continue'");
    return Ast(isBreak ? +Tag::Break : +Tag::Continue);
  }
  if (t.isWord("return") || t.isWord("goto")) {
    fail(t, "'" + t.text + "' is not supported; a method ends after its last statement, or with abort()");
  }
  Ast e = expressionList(Mode::Method);
  expect(";", "after the expression");
  return e;
}

}  // namespace tavrin::eddl

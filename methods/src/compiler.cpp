// The tree walkers that turn method bodies and description expressions into
// instructions. One walker per grammar level; errors are reported and the
// walk goes on with the next node, except that code whose tables overflowed
// is marked failed and never runs.
#include <cmath>
#include <cstdint>
#include <limits>

#include "edd/tags.h"
#include "engine_impl.h"
#include "messages.h"

namespace tavrin::methods {
namespace {

using edd::Tag;

const EddNode* childAt(const EddNode* node, int index) {
  const EddNode* c = node ? node->child : nullptr;
  while (c && index-- > 0) c = c->sibling;
  return c;
}

struct TagOp {
  uint16_t tag;
  Op op;
};

// Binary operators of method bodies, compiled left operand, right operand,
// operation.
constexpr TagOp kMethodBinary[] = {
    {+Tag::LogicalOr, Op::OROR}, {+Tag::LogicalAnd, Op::ANDAND}, {+Tag::BitOr, Op::OR},
    {+Tag::BitXor, Op::XOR},     {+Tag::BitAnd, Op::AND},        {+Tag::Eq, Op::EQ},
    {+Tag::Ne, Op::NEQ},         {+Tag::Lt, Op::LEFT},           {+Tag::Gt, Op::RIGHT},
    {+Tag::Le, Op::LE},          {+Tag::Ge, Op::GE},             {+Tag::Shl, Op::LSHIFT},
    {+Tag::Shr, Op::RSHIFT},     {+Tag::Add, Op::ADD},           {+Tag::Sub, Op::SUB},
    {+Tag::Mul, Op::MUL},        {+Tag::Div, Op::DIV},           {+Tag::Mod, Op::MOD},
};

// Compound assignments: target address, DUP, IND, right operand, operation, STO.
constexpr TagOp kMethodCompoundAssign[] = {
    {+Tag::MulAssign, Op::MUL},    {+Tag::DivAssign, Op::DIV}, {+Tag::ModAssign, Op::MOD},
    {+Tag::AddAssign, Op::ADD},    {+Tag::SubAssign, Op::SUB}, {+Tag::ShrAssign, Op::RSHIFT},
    {+Tag::ShlAssign, Op::LSHIFT}, {+Tag::AndAssign, Op::AND}, {+Tag::XorAssign, Op::XOR},
    {+Tag::OrAssign, Op::OR},
};

constexpr TagOp kMethodUnary[] = {
    {+Tag::UnaryPlus, Op::PLUS},
    {+Tag::Negate, Op::NEG},
    {+Tag::Complement, Op::BNEG},
    {+Tag::Not, Op::NOT},
};

// The same operators as they appear in description expressions.
constexpr TagOp kDescriptionBinary[] = {
    {+Tag::ExprLogicalOr, Op::OROR}, {+Tag::ExprLogicalAnd, Op::ANDAND}, {+Tag::ExprBitOr, Op::OR},
    {+Tag::ExprBitXor, Op::XOR},     {+Tag::ExprBitAnd, Op::AND},        {+Tag::ExprEq, Op::EQ},
    {+Tag::ExprNe, Op::NEQ},         {+Tag::ExprLt, Op::LEFT},           {+Tag::ExprGt, Op::RIGHT},
    {+Tag::ExprLe, Op::LE},          {+Tag::ExprGe, Op::GE},             {+Tag::ExprShl, Op::LSHIFT},
    {+Tag::ExprShr, Op::RSHIFT},     {+Tag::ExprAdd, Op::ADD},           {+Tag::ExprSub, Op::SUB},
    {+Tag::ExprMul, Op::MUL},        {+Tag::ExprDiv, Op::DIV},           {+Tag::ExprMod, Op::MOD},
};

constexpr TagOp kDescriptionUnary[] = {
    {+Tag::ExprPlus, Op::PLUS},
    {+Tag::ExprNegate, Op::NEG},
    {+Tag::ExprComplement, Op::BNEG},
    {+Tag::ExprNot, Op::NOT},
};

template <std::size_t N>
const TagOp* lookup(const TagOp (&table)[N], uint16_t tag) {
  for (const TagOp& t : table) {
    if (t.tag == tag) return &t;
  }
  return nullptr;
}

// Flags of the type specifiers char, short, int, long, (signed), unsigned,
// float and double, tags 423 to 430 in that order.
enum SpecifierFlag : int32_t {
  kChar = 1,
  kShort = 2,
  kInt = 4,
  kLong = 8,
  kSigned = 16,
  kUnsigned = 32,
  kFloat = 64,
  kDouble = 128,
};

}  // namespace

// Counts one walker level for as long as it lives.
class Compiler::Nesting {
 public:
  explicit Nesting(Compiler& c) : c_(c) {
    ok_ = ++c_.e_.nesting <= kMaxNesting;
    if (!ok_ && !c_.failed_) c_.error(msg::NestedTooDeeply);
    if (!ok_) c_.failed_ = true;
  }
  ~Nesting() { --c_.e_.nesting; }
  Nesting(const Nesting&) = delete;
  Nesting& operator=(const Nesting&) = delete;
  explicit operator bool() const { return ok_; }

 private:
  Compiler& c_;
  bool ok_ = true;
};

Compiler::Compiler(MethodEngine::Impl& engine, Mode mode)
    : e_(engine), mode_(mode), start_(engine.program.next()), contextBase_(engine.contexts.current) {}

Compiler::~Compiler() { e_.contexts.current = contextBase_; }

int32_t Compiler::emit(Op op, int32_t operand) {
  const int32_t at = e_.program.append({+op, operand});
  if (at < 0) {
    // One message per compilation: the code will not run, and a box for
    // every further instruction would only bury the person in them.
    if (!spaceReported_) error(msg::ProgramSpaceOverflow);
    spaceReported_ = true;
    failed_ = true;
  }
  return at;
}

// Code that failed never runs, so nothing is patched in it; in particular no
// address outside this compilation is ever touched.
void Compiler::patch(int32_t at, int32_t target) {
  if (failed_ || at < start_) return;
  e_.program.setOperand(at, target);
}

bool Compiler::checkTag(const EddNode* node, uint16_t expected) {
  const int32_t found = node ? node->tag : 0;
  if (found == expected) return true;
  e_.tagMismatch(found, expected);
  return false;
}

// --- method bodies -------------------------------------------------------

void Compiler::methodBody(const EddNode* compound) {
  this->compound(compound);
  emit(Op::HALT);
}

void Compiler::compound(const EddNode* node) {
  Nesting nesting(*this);
  if (!nesting) return;
  checkTag(node, +Tag::Compound);
  if (!node) return;
  for (const EddNode* part = node->child; part; part = part->sibling) {
    if (part->tag == +Tag::DeclarationList) {
      for (const EddNode* d = part->child; d; d = d->sibling) {
        if (checkTag(d, +Tag::Declaration)) declaration(d);
      }
    } else if (part->tag == +Tag::StatementList) {
      for (const EddNode* s = part->child; s; s = s->sibling) statement(s);
    } else {
      e_.tagMismatch(part->tag, +Tag::StatementList);
    }
  }
}

void Compiler::declaration(const EddNode* node) {
  const EddNode* list = node->child;
  if (!checkTag(list, +Tag::SpecifierList)) return;
  const int32_t type = specifiers(list);
  if (type < 0) return;
  for (const EddNode* d = list->sibling; d; d = d->sibling) declarator(d, type);
}

int32_t Compiler::specifiers(const EddNode* node) {
  int32_t flags = 0;
  for (const EddNode* s = node->child; s; s = s->sibling) {
    if (s->tag < +Tag::Char || s->tag > +Tag::DoubleSpecifier) break;
    flags |= 1 << (s->tag - +Tag::Char);
  }
  const bool isUnsigned = flags & kUnsigned;
  if (flags & kChar) return isUnsigned ? +TypeCode::UnsignedChar : +TypeCode::Char;
  if (flags & kShort) return isUnsigned ? +TypeCode::UnsignedShort : +TypeCode::Short;
  if (flags & (kInt | kLong | kSigned)) return isUnsigned ? +TypeCode::UnsignedInt : +TypeCode::Int;
  if (isUnsigned) return +TypeCode::UnsignedInt;
  if (flags & kFloat) return +TypeCode::Float;
  if (flags & kDouble) return +TypeCode::Double;
  error(msg::DataType);
  return -1;
}

void Compiler::declarator(const EddNode* node, int32_t type) {
  if (node->tag != +Tag::Declarator && node->tag != +Tag::ArrayDeclarator) {
    error(msg::Declarator);
    return;
  }
  const EddNode* id = node->child;
  if (!checkTag(id, +Tag::Identifier)) return;

  Symbol symbol;
  symbol.name = e_.text(static_cast<int32_t>(id->value));
  symbol.level = e_.level;
  symbol.identifier = static_cast<int32_t>(id->value);
  symbol.type = static_cast<uint16_t>(type);
  int64_t size = typeSize(type);
  if (node->tag == +Tag::ArrayDeclarator) {
    symbol.isArray = true;
    for (const EddNode* dim = id->sibling; dim; dim = dim->sibling) {
      if (symbol.dimensionCount == 4) {
        error(msg::TooManyDimensions);
        return;
      }
      // An empty extent ("[]") has no size to give.
      const int32_t extent = dim->tag == +Tag::Empty ? 0 : constant(dim);
      symbol.dimensions[symbol.dimensionCount++] = extent;
      size = extent < 1 ? 0 : size * extent;
      if (size < 1 || size > std::numeric_limits<uint16_t>::max()) {
        error(msg::ArraySize);
        return;
      }
    }
  }
  symbol.size = static_cast<uint16_t>(size);
  symbol.storage = std::make_unique<std::byte[]>(symbol.size);  // zero-filled
  if (!e_.symbols.add(std::move(symbol))) {
    error(msg::SymbolTableOverflow);
    failed_ = true;
  }
}

void Compiler::statement(const EddNode* node) {
  if (!node) return;
  Nesting nesting(*this);
  if (!nesting) return;
  switch (node->tag) {
    case +Tag::Compound:
      compound(node);
      break;
    case +Tag::Empty:
      break;
    case +Tag::Expression:
      expressionStatement(node);
      break;
    case +Tag::Case:
      caseLabel(node);
      break;
    case +Tag::Default:
      defaultLabel(node);
      break;
    case +Tag::For:
    case +Tag::While:
    case +Tag::Do:
    case +Tag::IfStatement:
    case +Tag::Switch:
      wrapped(node);
      break;
    case +Tag::Continue:
    case +Tag::Break:
    case +Tag::Jump:
      jumpStatement(node);
      break;
    default:
      error(msg::Statement);
      break;
  }
}

void Compiler::expressionStatement(const EddNode* node) {
  emit(Op::PUT);
  for (const EddNode* x = node->child; x; x = x->sibling) expression(x, false);
  emit(Op::POT);
}

// Loops, if and switch statements run between a statement marker and the
// POT that removes whatever they left on the value stack.
void Compiler::wrapped(const EddNode* node) {
  emit(Op::PUT);
  ++markers_;
  if (node->tag == +Tag::IfStatement) {
    ifStatement(node);
  } else if (node->tag == +Tag::Switch) {
    switchStatement(node);
  } else {
    loop(node);
  }
  --markers_;
  emit(Op::POT);
}

void Compiler::ifStatement(const EddNode* node) {
  const EddNode* condition = childAt(node, 0);
  const EddNode* then = childAt(node, 1);
  const EddNode* otherwise = childAt(node, 2);
  expression(condition, false);
  const int32_t toElse = emit(Op::JZ);
  statement(then);
  const int32_t toEnd = emit(Op::JMP);
  patch(toElse, here());
  statement(otherwise);
  patch(toEnd, here());
}

int32_t Compiler::pushContext(bool isSwitch, int32_t continueTarget, int32_t breakTarget) {
  JumpContexts& c = e_.contexts;
  ++c.current;
  c.open[c.current] = {isSwitch, 0, continueTarget, breakTarget, markers_};
  return c.current;
}

void Compiler::popContext() { --e_.contexts.current; }

// Every loop starts with two jumps, so that its break target is a fixed
// instruction at its head: JMP A, B: JMP exit, A: ...
void Compiler::loop(const EddNode* node) {
  if (e_.contexts.full()) {
    error(msg::LoopNesting);
    return;
  }
  const EddNode* body = nullptr;
  const EddNode* condition = nullptr;
  const EddNode* step = nullptr;
  if (node->tag == +Tag::For) {
    const EddNode* init = childAt(node, 0);
    condition = childAt(node, 1);
    step = childAt(node, 2);
    body = childAt(node, 3);
    if (init && init->tag == +Tag::Expression) expressionStatement(init);
  } else if (node->tag == +Tag::While) {
    condition = childAt(node, 0);
    body = childAt(node, 1);
  } else {
    body = childAt(node, 0);
    checkTag(childAt(node, 1), +Tag::While);
    condition = childAt(node, 2);
  }

  const int32_t toTop = emit(Op::JMP);
  const int32_t breakTarget = emit(Op::JMP);
  const int32_t top = here();
  patch(toTop, top);
  pushContext(false, top, breakTarget);

  if (node->tag == +Tag::Do) {
    statement(body);
    expression(condition, false);
    emit(Op::JNZ, top);
  } else {
    // A for statement without a condition loops until a break.
    if (condition && condition->tag != +Tag::Empty) {
      expression(condition, false);
      emit(Op::JZ, breakTarget);
    }
    statement(body);
    if (step && step->tag == +Tag::Expression) expressionStatement(step);
    emit(Op::JMP, top);
  }
  patch(breakTarget, here());
  popContext();
}

void Compiler::switchStatement(const EddNode* node) {
  if (e_.contexts.full()) {
    error(msg::SwitchNesting);
    return;
  }
  expression(childAt(node, 0), false);  // the selector stays until the POT
  const int32_t toDispatch = emit(Op::JMP);
  const int32_t breakTarget = emit(Op::JMP);
  const int32_t context = pushContext(true, toDispatch, breakTarget);

  statement(childAt(node, 1));
  const int32_t endOfBody = emit(Op::JMP);
  patch(toDispatch, here());

  // Labels are tested in the order they occur; a default jumps at once, so
  // labels after it are never tested.
  const CaseLabel* labels = e_.contexts.caseList(context);
  const int32_t count = e_.contexts.open[context].caseCount;
  for (int32_t i = 0; i < count; ++i) {
    const CaseLabel& label = labels[i];
    if (label.kind == CaseLabel::Case) {
      emit(Op::DUP);
      emit(Op::LDC, label.constant);
      emit(Op::EQ);
      emit(Op::JNZ, label.address);
    } else if (label.kind == CaseLabel::Default) {
      emit(Op::JMP, label.address);
    } else {
      error(msg::SwitchStack);
    }
  }
  const int32_t exit = here();
  patch(breakTarget, exit);
  patch(endOfBody, exit);
  popContext();
}

int32_t Compiler::innermostSwitch() const {
  for (int32_t i = e_.contexts.current; i > contextBase_; --i) {
    if (e_.contexts.open[i].isSwitch) return i;
  }
  return -1;
}

void Compiler::caseLabel(const EddNode* node) {
  const int32_t context = innermostSwitch();
  const int32_t value = constant(childAt(node, 0));
  if (context < 0) {
    error(msg::CaseOutsideSwitch);
  } else if (e_.contexts.open[context].caseCount >= JumpContexts::kCases) {
    error(msg::TooManyCases);
  } else {
    JumpContext& c = e_.contexts.open[context];
    e_.contexts.caseList(context)[c.caseCount++] = {CaseLabel::Case, value, here()};
  }
  statement(childAt(node, 1));
}

// Control leaves the switch after the one statement that follows a default
// label.
void Compiler::defaultLabel(const EddNode* node) {
  const int32_t context = innermostSwitch();
  if (context < 0) {
    error(msg::CaseOutsideSwitch);
  } else if (e_.contexts.open[context].caseCount >= JumpContexts::kCases) {
    error(msg::TooManyCases);
  } else {
    JumpContext& c = e_.contexts.open[context];
    e_.contexts.caseList(context)[c.caseCount++] = {CaseLabel::Default, 0, here()};
  }
  statement(childAt(node, 0));
  if (context >= 0) jumpOut(e_.contexts.open[context], e_.contexts.open[context].breakTarget);
}

// A jump out of statements nested inside a loop or switch first removes the
// statement markers those statements pushed, so that a loop that leaves an
// if statement with continue does not fill the value stack.
void Compiler::jumpOut(const JumpContext& context, int32_t target) {
  for (int32_t i = context.markers; i < markers_; ++i) emit(Op::POT);
  emit(Op::JMP, target);
}

void Compiler::jumpStatement(const EddNode* node) {
  if (node->tag == +Tag::Jump) {
    error(msg::Ternary);
    return;
  }
  const JumpContexts& c = e_.contexts;
  if (node->tag == +Tag::Break) {
    if (c.current <= contextBase_) {
      error(msg::BreakOutside);
      return;
    }
    jumpOut(c.open[c.current], c.open[c.current].breakTarget);
    return;
  }
  // continue belongs to the innermost loop, also from inside a switch.
  for (int32_t i = c.current; i > contextBase_; --i) {
    if (!c.open[i].isSwitch) {
      jumpOut(c.open[i], c.open[i].continueTarget);
      return;
    }
  }
  error(msg::ContinueOutside);
}

// --- method expressions --------------------------------------------------

void Compiler::expression(const EddNode* node, bool wantAddress) {
  if (mode_ == Mode::Description) {
    descriptionExpression(node, wantAddress);
    return;
  }
  if (!node) return;
  Nesting nesting(*this);
  if (!nesting) return;
  const uint16_t tag = node->tag;
  if (const TagOp* b = lookup(kMethodBinary, tag)) {
    expression(childAt(node, 0), false);
    expression(childAt(node, 1), false);
    emit(b->op);
    return;
  }
  if (const TagOp* a = lookup(kMethodCompoundAssign, tag)) {
    assignment(node, a->op);
    return;
  }
  if (const TagOp* u = lookup(kMethodUnary, tag)) {
    expression(childAt(node, 0), wantAddress);
    emit(u->op);
    return;
  }
  switch (tag) {
    case +Tag::Assign:
      assignment(node, Op::STO);
      break;
    case +Tag::Conditional:
      error(msg::Ternary);
      break;
    case +Tag::PreInc:
      increment(node, Op::INC, false);
      break;
    case +Tag::PreDec:
      increment(node, Op::DEC, false);
      break;
    case +Tag::PostInc:
      increment(node, Op::INC, true);
      break;
    case +Tag::PostDec:
      increment(node, Op::DEC, true);
      break;
    case +Tag::Subscript:
      subscript(node, wantAddress);
      break;
    case +Tag::Call:
      call(node);
      break;
    case +Tag::Identifier:
      emit(wantAddress ? Op::LDA : Op::LOD, static_cast<int32_t>(node->value));
      break;
    case +Tag::IntegerConstant:
    case +Tag::Char:
      emit(Op::LDC, static_cast<int32_t>(node->value));
      break;
    case +Tag::FloatConstant:
      emit(Op::LDF, static_cast<int32_t>(node->value));
      break;
    case +Tag::StringConstant:
      emit(Op::LDS, static_cast<int32_t>(node->value));
      break;
    case +Tag::Expression:
      for (const EddNode* x = node->child; x; x = x->sibling) expression(x, wantAddress);
      break;
    case +Tag::Dictionary:
      error(msg::Dictionary);
      break;
    default:
      error(msg::UnknownFlag);
      break;
  }
}

// Plain assignment: address, value, STO. Compound: address, DUP, IND,
// value, operation, STO.
void Compiler::assignment(const EddNode* node, Op op) {
  expression(childAt(node, 0), true);
  if (op != Op::STO) {
    emit(Op::DUP);
    emit(Op::IND);
  }
  expression(childAt(node, 1), false);
  if (op != Op::STO) emit(op);
  emit(Op::STO, 1);
}

// The postfix forms undo the step on the stored value's copy, so the old
// value remains as the expression's value.
void Compiler::increment(const EddNode* node, Op op, bool postfix) {
  expression(childAt(node, 0), true);
  emit(Op::DUP);
  emit(Op::IND);
  emit(op);
  emit(Op::STO, 0);
  if (postfix) emit(op == Op::INC ? Op::DEC : Op::INC);
}

// Walks a subscript chain from the identifier outward and emits the
// row-major element offset; returns how many subscripts it compiled, or -1
// when the chain is not an array access.
int32_t Compiler::subscriptChain(const EddNode* node, const Symbol*& symbol) {
  Nesting nesting(*this);
  if (!nesting || !node) return -1;
  if (node->tag == +Tag::Identifier) {
    const int32_t id = static_cast<int32_t>(node->value);
    emit(Op::LDA, id);
    symbol = e_.symbols.find(id, e_.level);
    return 0;
  }
  if (node->tag == +Tag::Expression) return subscriptChain(node->child, symbol);
  if (node->tag != +Tag::Subscript) {
    error(msg::ArrayType);
    return -1;
  }
  const int32_t before = subscriptChain(childAt(node, 0), symbol);
  if (before < 0) return -1;
  const int32_t k = before + 1;
  const int32_t dimensions = symbol ? symbol->dimensionCount : 0;
  expression(childAt(node, 1), false);
  if (k < dimensions) {
    int32_t stride = 1;
    for (int32_t d = k; d < dimensions; ++d) stride *= symbol->dimensions[d];
    emit(Op::LDC, stride);
    emit(Op::MUL);
  }
  if (k >= 2 && dimensions > 1) emit(Op::ADD);
  return k;
}

void Compiler::subscript(const EddNode* node, bool wantAddress) {
  const Symbol* symbol = nullptr;
  if (subscriptChain(node, symbol) < 0) return;
  emit(Op::IXA);
  if (!wantAddress) emit(Op::IND);
}

// Arguments left to right, then FUNC or METHOD, then the check that ends the
// calling method when the call's run status is -2.
void Compiler::call(const EddNode* node) {
  const EddNode* callee = node->child;
  if (!checkTag(callee, +Tag::Identifier)) return;
  for (const EddNode* arg = callee->sibling; arg; arg = arg->sibling) expression(arg, false);
  const int32_t id = static_cast<int32_t>(callee->value);
  if (const auto number = findBuiltin(e_.model.text(id))) {
    emit(Op::FUNC, *number);
  } else {
    const EddNode* root = e_.model.findObject(id);
    if (!root || root->tag != +Tag::Method) {
      error(msg::InvokingMethods);
      return;
    }
    emit(Op::METHOD, id);
  }
  emit(Op::LDC, -2);
  emit(Op::EQ);
  const int32_t past = emit(Op::JZ);
  emit(Op::HALT);
  patch(past, here());
}

// --- description expressions ----------------------------------------------

void Compiler::expressionList(const EddNode* node) {
  checkTag(node, +Tag::Expression);
  if (!node) return;
  for (const EddNode* x = node->child; x; x = x->sibling) descriptionExpression(x, false);
}

void Compiler::descriptionExpression(const EddNode* node, bool wantAddress) {
  if (!node) return;
  Nesting nesting(*this);
  if (!nesting) return;
  const uint16_t tag = node->tag;
  if (const TagOp* b = lookup(kDescriptionBinary, tag)) {
    descriptionExpression(childAt(node, 0), false);
    descriptionExpression(childAt(node, 1), false);
    emit(b->op);
    return;
  }
  if (const TagOp* u = lookup(kDescriptionUnary, tag)) {
    descriptionExpression(childAt(node, 0), wantAddress);
    emit(u->op);
    return;
  }
  if (tag >= +Tag::ExprAssign && tag <= +Tag::ExprOrAssign) {
    error(msg::OutsideAssignment);
    return;
  }
  switch (tag) {
    case +Tag::ExprPreInc:
      increment(node, Op::INC, false);
      break;
    case +Tag::ExprPreDec:
      increment(node, Op::DEC, false);
      break;
    case +Tag::ExprPostInc:
      increment(node, Op::INC, true);
      break;
    case +Tag::ExprPostDec:
      increment(node, Op::DEC, true);
      break;
    case +Tag::StringConstant:
      emit(Op::LDS, static_cast<int32_t>(node->value));
      break;
    case +Tag::FloatConstant:
      emit(Op::LDF, static_cast<int32_t>(node->value));
      break;
    case +Tag::IntegerConstant:
      emit(Op::LDC, static_cast<int32_t>(node->value));
      break;
    case +Tag::Expression:
      for (const EddNode* x = node->child; x; x = x->sibling) descriptionExpression(x, wantAddress);
      break;
    case +Tag::Reference:
      reference(node);
      break;
    case +Tag::ExprConditional:
      error(msg::Ternary);
      break;
    case +Tag::CurrentRole:
      error(msg::CurrentRole);
      break;
    case +Tag::Call:
      error(msg::FunctionOperand);
      break;
    case +Tag::Unsupported357:
    case +Tag::Unsupported358:
      error(msg::UnidentifiedTag);
      break;
    default:
      error(msg::UnknownFlag);
      break;
  }
}

// A reference loads the current value of the variable it resolves to.
void Compiler::reference(const EddNode* node) {
  const EddNode* ref = node->child;
  const uint16_t tag = ref ? ref->tag : 0;
  if (tag == +Tag::Call) {
    error(msg::ReferenceFunction);
    return;
  }
  if (tag != +Tag::Identifier && tag != +Tag::ArrayElementRef && tag != +Tag::CollectionMemberRef) {
    error(msg::ReferenceTag);
    return;
  }
  if (const auto variable = e_.model.resolveReference(*ref)) emit(Op::LDV, *variable);
}

// --- constants -----------------------------------------------------------

// 32-bit signed arithmetic that wraps like the machine's; dividing by zero
// and INT_MIN / -1 are reported and give 0.
int32_t Compiler::constant(const EddNode* node) {
  Nesting nesting(*this);
  if (!nesting) return 0;
  const uint16_t tag = node ? node->tag : 0;
  switch (tag) {
    case +Tag::IntegerConstant:
      return static_cast<int32_t>(node->value);
    case +Tag::FloatConstant: {
      Entry f = Entry::ofFloat(std::bit_cast<float>(node->value));
      convert(f, +TypeCode::Int);
      return static_cast<int32_t>(f.asInt64());
    }
    case +Tag::Mul:
    case +Tag::Div:
    case +Tag::Mod:
    case +Tag::Add:
    case +Tag::Sub:
      break;
    default:
      error(msg::Operator);
      return 0;
  }
  const int64_t a = constant(childAt(node, 0));
  const int64_t b = constant(childAt(node, 1));
  int64_t r = 0;
  if (tag == +Tag::Mul) {
    r = a * b;
  } else if (tag == +Tag::Add) {
    r = a + b;
  } else if (tag == +Tag::Sub) {
    r = a - b;
  } else if (b == 0) {
    error(msg::DivisionByZero);
  } else if (a == std::numeric_limits<int32_t>::min() && b == -1) {
    error(msg::DivisionOverflow);
  } else {
    r = tag == +Tag::Div ? a / b : a % b;
  }
  return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(r)));
}

}  // namespace tavrin::methods

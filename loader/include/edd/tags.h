// Tag numbers of description trees: the symbol numbers of the compiled EDDL
// grammar, the vocabulary in which the model, the method engine and the
// description tools walk and build trees.
//
// Every tag is declared once in TAVRIN_EDD_TAGS as (number, Name, "name");
// the enum, the name lookup and the value-bearing check derive from it.
// Keep the list sorted by number; a module that interprets a new tag adds it
// here. Names are what `eddc dump` prints and `eddc asm` accepts, so they are
// unique, lower case and hyphenated; where several numbers share one meaning
// and nothing yet tells them apart, the name carries the number. Tags that only the description tools use (numbers outside every range
// the model reads) belong to the tools, not here.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace tavrin::edd {

// clang-format off
#define TAVRIN_EDD_TAGS(X)                                \
  X(1,   Block,                 "block")                  \
  X(3,   Collection,            "collection")             \
  X(4,   Command,               "command")                \
  X(13,  Array,                 "array")                  \
  X(14,  Menu,                  "menu")                   \
  X(15,  Method,                "method")                 \
  X(16,  DateTime16,            "date-time-16")           \
  X(21,  UnitRelation,          "unit-relation")          \
  X(22,  Variable,              "variable")               \
  X(30,  Identifier,            "identifier")             \
  X(31,  StringLiteral,         "string-literal")         \
  X(32,  Integer,               "integer")                \
  X(33,  UnsignedInteger,       "unsigned-integer")       \
  X(34,  Float,                 "float")                  \
  X(35,  Double,                "double")                 \
  X(36,  Enumerated,            "enumerated")             \
  X(37,  BitEnumerated,         "bit-enumerated")         \
  X(38,  Index,                 "index")                  \
  X(39,  TextString,            "text-string")            \
  X(40,  PackedString,          "packed-string")          \
  X(41,  String41,              "string-41")              \
  X(42,  DateTime42,            "date-time-42")           \
  X(43,  DateTime43,            "date-time-43")           \
  X(44,  Date,                  "date")                   \
  X(46,  DateTime46,            "date-time-46")           \
  X(47,  DateTime47,            "date-time-47")           \
  X(48,  TypeWrapper,           "type-wrapper")           \
  X(50,  String50,              "string-50")              \
  X(51,  String51,              "string-51")              \
  X(52,  String52,              "string-52")              \
  X(53,  String53,              "string-53")              \
  X(54,  If,                    "if")                     \
  X(55,  Select,                "select")                 \
  X(56,  Case,                  "case")                   \
  X(57,  Default,               "default")                \
  X(58,  Direct,                "direct")                 \
  X(59,  Empty,                 "empty")                  \
  X(60,  Type60,                "type-60")                \
  X(61,  SizedType,             "sized-type")             \
  X(62,  Then,                  "then")                   \
  X(63,  Else,                  "else")                   \
  X(65,  Enumerators,           "enumerators")            \
  X(66,  Enumerator,            "enumerator")             \
  X(67,  Enumerator67,          "enumerator-67")          \
  X(74,  BitEnumerator74,       "bit-enumerator-74")      \
  X(75,  BitEnumerator75,       "bit-enumerator-75")      \
  X(76,  BitEnumerator76,       "bit-enumerator-76")      \
  X(77,  BitEnumerator77,       "bit-enumerator-77")      \
  X(78,  BitEnumerator78,       "bit-enumerator-78")      \
  X(79,  BitEnumerator79,       "bit-enumerator-79")      \
  X(80,  BitEnumerator80,       "bit-enumerator-80")      \
  X(81,  BitEnumerator81,       "bit-enumerator-81")      \
  X(82,  BitEnumerator82,       "bit-enumerator-82")      \
  X(83,  BitEnumerator83,       "bit-enumerator-83")      \
  X(84,  BitEnumerator84,       "bit-enumerator-84")      \
  X(85,  BitEnumerator85,       "bit-enumerator-85")      \
  X(86,  BitEnumerator86,       "bit-enumerator-86")      \
  X(87,  BitEnumerator87,       "bit-enumerator-87")      \
  X(88,  BitEnumerator88,       "bit-enumerator-88")      \
  X(89,  Value89,               "value-89")               \
  X(90,  Value90,               "value-90")               \
  X(96,  Slot,                  "slot")                   \
  X(97,  BlockNumber,           "block-number")           \
  X(98,  Operation,             "operation")              \
  X(99,  StringConstant,        "string-constant")        \
  X(100, StringFromVariable,    "string-from-variable")   \
  X(101, StringUnsupported,     "string-unsupported")     \
  X(109, Transaction,           "transaction")            \
  X(110, Reply,                 "reply")                  \
  X(111, Request,               "request")                \
  X(112, DataConstant,          "data-constant")          \
  X(113, DataReference,         "data-reference")         \
  X(114, DataQualified,         "data-qualified")         \
  X(115, DataMasked,            "data-masked")            \
  X(116, DataQualifiedMasked,   "data-qualified-masked")  \
  X(120, Members,               "members")                \
  X(122, Member122,             "member-122")             \
  X(123, Member123,             "member-123")             \
  X(124, Member124,             "member-124")             \
  X(179, MenuItems,             "menu-items")             \
  X(180, MenuItem,              "menu-item")              \
  X(181, MenuItemWithArgs,      "menu-item-with-args")    \
  X(185, Layout185,             "layout-185")             \
  X(186, Layout186,             "layout-186")             \
  X(187, Layout187,             "layout-187")             \
  X(188, ItemArgumentList,      "item-argument-list")     \
  X(190, ItemQualifiers,        "item-qualifiers")        \
  X(191, ItemImageQualifiers,   "item-image-qualifiers")  \
  X(192, ItemFlag192,           "item-flag-192")          \
  X(212, ExprEq,                "expr-eq")                \
  X(213, Elements,              "elements")               \
  X(236, ExprAdd,               "expr-add")               \
  X(240, ArrayElementRef,       "array-element-ref")      \
  X(241, CollectionMemberRef,   "collection-member-ref")  \
  X(242, Reference242,          "reference-242")          \
  X(243, Reference243,          "reference-243")          \
  X(249, ExprAssign,            "expr-assign")            \
  X(250, ExprMulAssign,         "expr-mul-assign")        \
  X(251, ExprDivAssign,         "expr-div-assign")        \
  X(252, ExprModAssign,         "expr-mod-assign")        \
  X(253, ExprAddAssign,         "expr-add-assign")        \
  X(254, ExprSubAssign,         "expr-sub-assign")        \
  X(255, ExprShrAssign,         "expr-shr-assign")        \
  X(256, ExprShlAssign,         "expr-shl-assign")        \
  X(257, ExprAndAssign,         "expr-and-assign")        \
  X(258, ExprXorAssign,         "expr-xor-assign")        \
  X(259, ExprOrAssign,          "expr-or-assign")         \
  X(260, ExprConditional,       "expr-conditional")       \
  X(261, ExprLogicalOr,         "expr-logical-or")        \
  X(262, ExprLogicalAnd,        "expr-logical-and")       \
  X(263, ExprBitOr,             "expr-bit-or")            \
  X(264, ExprBitXor,            "expr-bit-xor")           \
  X(265, ExprBitAnd,            "expr-bit-and")           \
  X(266, ExprNe,                "expr-ne")                \
  X(267, ExprLt,                "expr-lt")                \
  X(268, ExprGt,                "expr-gt")                \
  X(269, ExprShl,               "expr-shl")               \
  X(270, ExprShr,               "expr-shr")               \
  X(271, ExprMul,               "expr-mul")               \
  X(272, ExprDiv,               "expr-div")               \
  X(273, ExprMod,               "expr-mod")               \
  X(274, ExprPlus,              "expr-plus")              \
  X(275, ExprNegate,            "expr-negate")            \
  X(276, ExprComplement,        "expr-complement")        \
  X(277, ExprNot,               "expr-not")               \
  X(278, ExprPreInc,            "expr-pre-inc")           \
  X(279, ExprPreDec,            "expr-pre-dec")           \
  X(280, ExprPostInc,           "expr-post-inc")          \
  X(281, ExprPostDec,           "expr-post-dec")          \
  X(282, ExprSub,               "expr-sub")               \
  X(283, ExprLe,                "expr-le")                \
  X(284, ExprGe,                "expr-ge")                \
  X(285, ConstantUnit,          "constant-unit")          \
  X(286, DefaultValue,          "default-value")          \
  X(287, Handling,              "handling")               \
  X(289, InitialValue,          "initial-value")          \
  X(290, Label,                 "label")                  \
  X(291, EditActions291,        "edit-actions-291")       \
  X(292, PostReadActions,       "post-read-actions")      \
  X(293, PostWriteActions,      "post-write-actions")     \
  X(294, EditActions294,        "edit-actions-294")       \
  X(295, PreReadActions,        "pre-read-actions")       \
  X(296, PreWriteActions,       "pre-write-actions")      \
  X(299, ResponseCodes,         "response-codes")         \
  X(300, Type,                  "type")                   \
  X(301, Validity,              "validity")               \
  X(302, ClassFlags,            "class")                  \
  X(305, DisplayFormat,         "display-format")         \
  X(306, EditFormat,            "edit-format")            \
  X(307, TypeAttribute307,      "type-attribute-307")     \
  X(308, MinValue,              "min-value")              \
  X(309, MaxValue,              "max-value")              \
  X(310, IndexedMinValue,       "indexed-min-value")      \
  X(311, IndexedMaxValue,       "indexed-max-value")      \
  X(341, HandlingFlags,         "handling-value")         \
  X(357, Unsupported357,        "unsupported-357")        \
  X(358, Unsupported358,        "unsupported-358")        \
  X(359, PhysicalBlock,         "physical-block")         \
  X(360, TransducerBlock,       "transducer-block")       \
  X(361, FunctionBlock,         "function-block")         \
  X(394, Read,                  "read")                   \
  X(395, Write,                 "write")                  \
  X(396, Invalid,               "invalid")                \
  X(398, FloatConstant,         "float-constant")         \
  X(399, IntegerConstant,       "integer-constant")       \
  X(400, CurrentRole,           "current-role")           \
  X(401, Element401,            "element-401")            \
  X(403, ArrayOf,               "array-of")               \
  X(404, CollectionOf,          "collection-of")          \
  X(405, Expression,            "expression")             \
  X(406, Element406,            "element-406")            \
  X(407, Element407,            "element-407")            \
  X(408, Reference,             "reference")              \
  X(409, Call,                  "call")                   \
  X(410, String,                "string")                 \
  X(411, StringConcat,          "string-concat")          \
  X(412, Compound,              "compound")               \
  X(414, Continue,              "continue")               \
  X(415, Break,                 "break")                  \
  X(416, Jump,                  "jump")                   \
  X(417, For,                   "for")                    \
  X(418, While,                 "while")                  \
  X(419, Do,                    "do")                     \
  X(420, IfStatement,           "if-statement")           \
  X(421, Declarator,            "declarator")             \
  X(422, ArrayDeclarator,       "array-declarator")       \
  X(423, Char,                  "char")                   \
  X(424, Short,                 "short")                  \
  X(425, Int,                   "int")                    \
  X(426, Long,                  "long")                   \
  X(427, Signed,                "signed")                 \
  X(428, Unsigned,              "unsigned")               \
  X(429, FloatSpecifier,        "float-specifier")        \
  X(430, DoubleSpecifier,       "double-specifier")       \
  X(432, Declaration,           "declaration")            \
  X(433, Assign,                "assign")                 \
  X(434, MulAssign,             "mul-assign")             \
  X(435, DivAssign,             "div-assign")             \
  X(436, ModAssign,             "mod-assign")             \
  X(437, AddAssign,             "add-assign")             \
  X(438, SubAssign,             "sub-assign")             \
  X(439, ShrAssign,             "shr-assign")             \
  X(440, ShlAssign,             "shl-assign")             \
  X(441, AndAssign,             "and-assign")             \
  X(442, XorAssign,             "xor-assign")             \
  X(443, OrAssign,              "or-assign")              \
  X(444, Conditional,           "conditional")            \
  X(445, Mul,                   "mul")                    \
  X(446, Div,                   "div")                    \
  X(447, Mod,                   "mod")                    \
  X(448, Add,                   "add")                    \
  X(449, Sub,                   "sub")                    \
  X(450, Shl,                   "shl")                    \
  X(451, Shr,                   "shr")                    \
  X(452, Lt,                    "lt")                     \
  X(453, Gt,                    "gt")                     \
  X(454, Le,                    "le")                     \
  X(455, Ge,                    "ge")                     \
  X(456, Eq,                    "eq")                     \
  X(457, Ne,                    "ne")                     \
  X(458, BitAnd,                "bit-and")                \
  X(459, BitXor,                "bit-xor")                \
  X(460, BitOr,                 "bit-or")                 \
  X(461, LogicalAnd,            "logical-and")            \
  X(462, LogicalOr,             "logical-or")             \
  X(463, Complement,            "complement")             \
  X(464, Not,                   "not")                    \
  X(465, PreInc,                "pre-inc")                \
  X(466, PreDec,                "pre-dec")                \
  X(467, Dictionary,            "dictionary")             \
  X(472, PostInc,               "post-inc")               \
  X(473, PostDec,               "post-dec")               \
  X(474, Subscript,             "subscript")              \
  X(475, Switch,                "switch")                 \
  X(476, MethodReference,       "method-reference")       \
  X(477, MethodInline,          "method-inline")          \
  X(478, MethodDefinition,      "method-definition")      \
  X(479, StatementList,         "statement-list")         \
  X(480, DeclarationList,       "declaration-list")       \
  X(481, UnaryPlus,             "unary-plus")             \
  X(482, Negate,                "negate")                 \
  X(490, UnitReferences,        "unit-references")        \
  X(491, UnitDependents,        "unit-dependents")        \
  X(492, FunctionCode,          "function-code")          \
  X(493, RegisterAddress,       "register-address")       \
  X(495, TitleBreak,            "title-break")            \
  X(496, SpecifierList,         "specifier-list")         \
  X(498, UnitItem,              "unit-item")
// clang-format on

enum class Tag : uint16_t {
#define TAVRIN_EDD_TAG_ENUM(number, name, text) name = number,
  TAVRIN_EDD_TAGS(TAVRIN_EDD_TAG_ENUM)
#undef TAVRIN_EDD_TAG_ENUM
};

constexpr uint16_t operator+(Tag t) { return static_cast<uint16_t>(t); }

// The readable name of a tag, or an empty view for a number not in the list.
constexpr std::string_view tagName(uint16_t tag) {
  switch (tag) {
#define TAVRIN_EDD_TAG_NAME(number, name, text) \
  case number:                                  \
    return text;
    TAVRIN_EDD_TAGS(TAVRIN_EDD_TAG_NAME)
#undef TAVRIN_EDD_TAG_NAME
    default:
      return {};
  }
}

// The number of a tag name, or nothing for a name not in the list.
constexpr std::optional<uint16_t> tagNumber(std::string_view text) {
#define TAVRIN_EDD_TAG_NUMBER(number, name, tagText) \
  if (text == tagText) return uint16_t{number};
  TAVRIN_EDD_TAGS(TAVRIN_EDD_TAG_NUMBER)
#undef TAVRIN_EDD_TAG_NUMBER
  return std::nullopt;
}

// Tags whose node carries a 32-bit value in a description file.
constexpr bool carriesValue(uint16_t tag) {
  switch (tag) {
    case 30: case 31: case 89: case 90: case 99: case 302: case 341: case 398: case 399:
      return true;
    default:
      return false;
  }
}

}  // namespace tavrin::edd

// The model's texts, word for word. Several walkers share them, and the
// tests compare against what the person sees.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

namespace tavrin::model::msg {

// loading and the object index
inline constexpr const char* NoLoader = "Error: There is no language support file in program!";
inline constexpr const char* LoaderInit = "Error: Language support file initialization failed!";
inline constexpr const char* FileNotFound = "Error: %s file cannot be found!";
inline constexpr const char* FileNotRead = "Error: %s file cannot be read!";  // our own
inline constexpr const char* ObjectNotFound = "Error: Cannot find the variable %d";
inline constexpr const char* NameNotFound = "Error: The variable \"%s\" couldn't be found.";
inline constexpr const char* UserType = "The user selected type error!";

// symbol table and values
inline constexpr const char* SymbolOverflow = "Error: Symbol table overflow!";
inline constexpr const char* RamOverflow = "Error: RAM overflow!";
inline constexpr const char* TypeNotProcessed = "Error: The type of EDDL variable isn't processed!";
inline constexpr const char* UndefinedDataType = "Error: Undefined data type!";
inline constexpr const char* IntWidth = "Error: Convert the int data error!";
inline constexpr const char* UnsignedWidth = "Error: The unsigned data format error!";
inline constexpr const char* NotInSymbolTable = "Error: Cannot find the variable %s in symbol table!";
inline constexpr const char* StringAssignment = "Error: String assignment tag error!";
inline constexpr const char* NotAssignable = "Error: The variable type in EDDL doesn't support assignment operation!";
inline constexpr const char* AssignUnknown = "Error: Cannot find the current variable in symbol!";
inline constexpr const char* TextType = "Error: Variable type error!";
inline constexpr const char* NoEnumerator = "Error: The text \"%s\" matches no enumerator of the variable \"%s\"!";  // our own
inline constexpr const char* InitialValue = "Error: The value of 'initial value' isn't correct";
inline constexpr const char* DefaultValue = "Error: The value of 'default value' isn't correct";
inline constexpr const char* TypeError = "The variable type is error in EDDL!";

// type attributes and queries
inline constexpr const char* CompileFlags = "Error: The EDDL type compiling tag is error!";
inline constexpr const char* NoSuchTypeTag = "Error: This variable tag does not exist!";
inline constexpr const char* TypeTagMismatch = "Error: Variable tag match failed";
inline constexpr const char* RangeIndex = "Error: The current variable is out of range!";
inline constexpr const char* HandlingSelection = "Error: handling_selection tag error!";
inline constexpr const char* HandlingNull = "Error: pRoot = NULL!";
inline constexpr const char* HandlingTag = "Error: handling_specifier tag error!";  // our own
inline constexpr const char* ValiditySelection = "Error: menu_item_selection tag error!";
inline constexpr const char* ValidityNull = "Error: boolean_specifier: pRoot = NULL";
inline constexpr const char* ValidityTag = "Error: boolean_specifier tag error!";  // our own
inline constexpr const char* ListIncorrect = "Error: The description is incorrect!";
inline constexpr const char* NestedTooDeeply = "Error: The description is nested too deeply!";  // our own

// string values
inline constexpr const char* StringAdd = "Error: STRING ADD error!";
inline constexpr const char* StringList = "Error: string_list tag error!";
inline constexpr const char* StringTerminal = "Error: string_terminal, error!";
inline constexpr const char* StringTerminalMatch = "Error: string_terminal string match error!";
inline constexpr const char* StringNull = "Error: string_specifier: pRoot = NULL";
inline constexpr const char* StringTag = "Error: string_specifier, tag error!";
inline constexpr const char* StringSelection = "Error: string_selection tag error!";  // our own
inline constexpr const char* StringDefinition = "Error: String definition error!";
inline constexpr const char* LabelCount = "Error: The value of LABEL is error!";

// enumerations
inline constexpr const char* EnumeratorItem = "Error: The function - enumerator, tag matches failed!";
inline constexpr const char* BitEnumeratorItem = "Error: The function - bit_enumerator, tag matches failed!";
inline constexpr const char* EnumeratorsSelection = "Error: enumerators_selection tag error!";
inline constexpr const char* BitEnumeratorsSelection = "Error: bit_enumerators_selection tag error!";
inline constexpr const char* EnumeratorsNull = "Error: enumerators_specifier: pRoot = NULL";
inline constexpr const char* BitEnumeratorsNull = "Error: bit_enumerators_specifier: pRoot = NULL";
inline constexpr const char* EnumeratorsTag = "Error: menu_item_specifier tag error!";
inline constexpr const char* EnumeratedData = "Error: The enumerated data tag is error!";
inline constexpr const char* UnknownEnumerator = "Unknown Enumerator";

// references
inline constexpr const char* ArrayElement = "Error: The variable in ARRAY couldn't be found!";
inline constexpr const char* ArrayElementNumber = "Error: the variable %d in array cannot be found!";
inline constexpr const char* CollectionMember = "Error: the variable in array cannot be found!";
inline constexpr const char* ReferenceTag = "Error: The quote of variable is error!";
inline constexpr const char* ReferenceNotProcessed = "Error: reference_without_call tag is not processed!";
inline constexpr const char* ElementItem = "Error: The ELEMENT identifier matches failed!";
inline constexpr const char* MemberItem = "Error: The 'member' identifier matches failed!";
inline constexpr const char* ElementsNull = "Error: elements_specifier: pRoot = NULL";      // our own
inline constexpr const char* ElementsTag = "Error: elements_specifier tag error!";          // our own
inline constexpr const char* ElementsSelection = "Error: elements_selection tag error!";    // our own
inline constexpr const char* MembersNull = "Error: members_specifier: pRoot = NULL";        // our own
inline constexpr const char* MembersTag = "Error: members_specifier tag error!";            // our own
inline constexpr const char* MembersSelection = "Error: members_selection tag error!";      // our own

// states
inline constexpr const char* StateInitial = "Initial value";
inline constexpr const char* StateChanged = "Changed";
inline constexpr const char* StateLoaded = "Loaded";
inline constexpr const char* StateUnknown = "Unknown";
inline constexpr const char* StateLocal = "Local";

// value dialogs and the edit dispatch
inline constexpr const char* InputEmpty = "Error: Please input new data!";
inline constexpr const char* PackedInputEmpty = "Error: Please input a new data";
inline constexpr const char* SelectItem = "Error: Please select item from list!";
inline constexpr const char* SelectCurrentItem = "Error: Please select the current item!";
inline constexpr const char* EnumEntryKind = "Error: Enum type tag is error!";
inline constexpr const char* IllegalType = "Error: There are illegal variable type!";
inline constexpr const char* OutOfRange = "Error: The variable \"%s\" is out of range!";
inline constexpr const char* BitEnumeratedEdit = "Error: the T_BIT_ENUMERATED cannot be modified!";
inline constexpr const char* UnchangeableType = "Error: Unchangeable variable type in program!";

// Fills the first %s or %d of a text (the next ones in turn) with values.
std::string withText(std::string_view text, std::string_view value);
std::string withTexts(std::string_view text, std::initializer_list<std::string_view> values);
std::string withNumber(std::string_view text, long long value);

}  // namespace tavrin::model::msg

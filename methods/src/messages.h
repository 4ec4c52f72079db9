// The engine's texts, word for word. Kept in one place because several
// walkers share them.
#pragma once

namespace tavrin::methods::msg {

// compiler
inline constexpr const char* ProgramSpaceOverflow = "Error: The program space of method is overflow!";
inline constexpr const char* SymbolTableOverflow =
    "Error: The symbol table stack is overflow, please enlarge the size of symbol table!";
inline constexpr const char* DataType = "Error: The data type error!";
inline constexpr const char* Declarator = "c_declarator tag error!";
inline constexpr const char* TooManyDimensions =
    "Error: The current array does not support an array of more than 4 dimensions!";
inline constexpr const char* Statement = "Error: c_statement tag error!";
inline constexpr const char* SwitchNesting = "Error: The switch nesting depth in method is overflow!";
inline constexpr const char* SwitchStack = "Error: Compiling stack of switch statement error!";
inline constexpr const char* ArrayType = "Error: The array type error!";
inline constexpr const char* ExpressionRun = "Error: The current expression runs error!";
inline constexpr const char* Operator = "Error: Operator error!";
inline constexpr const char* Ternary = "Error: The program doesn't process ternay expression!";
inline constexpr const char* Dictionary = "Error: T_C_DICTIONARY tag error!";
inline constexpr const char* UnknownFlag = "Error: Unknown flag!";
inline constexpr const char* InvokingMethods = "Error: Invoking methods error!";
inline constexpr const char* SpecifierNull = "Error: expr_specifier: pRoot = NULL";
inline constexpr const char* SpecifierTag = "Error: expr_specifier tag error!";
inline constexpr const char* SelectionTag = "Error: expr_selection: tag error!";
inline constexpr const char* OutsideAssignment =
    "Error: The expression assignment statement outside the method is error!";
inline constexpr const char* CurrentRole = "Error: CURRENT_ROLE_TAG isn't processed!";
inline constexpr const char* FunctionOperand = "Error: The function has not be processed!";
inline constexpr const char* ReferenceFunction = "Error: reference func error!";
inline constexpr const char* ReferenceTag = "Error: reference, tag error!";
inline constexpr const char* UnidentifiedTag = "Error: The tag couldn't be identified by program!";
inline constexpr const char* MethodSpecification = "method_specification tag error!";
// our own, for what the walkers used to let through
inline constexpr const char* LoopNesting = "Error: The loop nesting depth in method is overflow!";
inline constexpr const char* TooManyCases = "Error: The case labels of switch statement are overflow!";
inline constexpr const char* CaseOutsideSwitch = "Error: The case label is outside a switch statement!";
inline constexpr const char* BreakOutside = "Error: The break statement is outside a loop or switch!";
inline constexpr const char* ContinueOutside = "Error: The continue statement is outside a loop!";
inline constexpr const char* ArraySize = "Error: The size of the array is out of range!";
inline constexpr const char* NestedTooDeeply = "Error: The method is nested too deeply!";

// machine
inline constexpr const char* UndefinedOperation = "Error: the operator tag has not been processed!";
inline constexpr const char* BinaryToken = "Error: The binary operator token error!";
inline constexpr const char* UndefinedType = "Error: Undefined variable type!";
inline constexpr const char* AssignmentTag = "Assignment statement tag error!";
inline constexpr const char* VariableDefinition = "Error: Couldn't find the variable definition %s";
inline constexpr const char* FunctionNumber = "Error: The error function calls!";
inline constexpr const char* StringKind = "Error: The string pointer flag mathes failed!";
inline constexpr const char* PrintType = "Error: Printing variable type error!";
inline constexpr const char* DivisionByZero = "Error: Integer division by zero!";
inline constexpr const char* DivisionOverflow = "Error: Integer division overflow!";
inline constexpr const char* OutOfStorage = "Error: The address is outside the variable!";
inline constexpr const char* NoMarker = "Error: No statement marker on the stack!";
inline constexpr const char* JumpTarget = "Error: The jump target is outside the program!";
inline constexpr const char* NoBuiltin = "Error: The function '%s' isn't available in this program!";

}  // namespace tavrin::methods::msg

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

// commands
inline constexpr const char* OperationNull = "Error: operation_specifier: pRoot = NULL";
inline constexpr const char* OperationTag = "Error: operation_specifier tag error!";
inline constexpr const char* BlockSelection = "Error: block_selection: tag error!";
inline constexpr const char* SlotSelection = "Error: slot_selection: tag error!";
inline constexpr const char* IndexSelection = "Error: index_selection tag error!";
inline constexpr const char* OperationSelection = "Error: operation_selection: tag error";
inline constexpr const char* OperationResult = "Error: The OPERATION attribute of COMMAND is error! ";
inline constexpr const char* UnknownOperation = "Error: Unknown COMMAND OPERATION attribute!";
inline constexpr const char* IndexTag = "Error: Profibus_ParseEDD_command_index tag error!";
inline constexpr const char* IndexValue = "Error: Profibus_ParseEDD_command_index error!";
inline constexpr const char* SlotTag = "Error: Profibus_ParseEDD_command_slot tag error!";  // our own
inline constexpr const char* BlockKind = "Error: Profibus_ParseEDD_command_block tag error! ";
inline constexpr const char* FunctionCodeValue = "Function: The function code of COMMAND is error!";
inline constexpr const char* AddressValue = "Function: The address code of COMMAND is error!";
inline constexpr const char* FunctionCodeTag = "Error: func_code_specifier tag error!";
inline constexpr const char* AddressTag = "Error: addr_specifier tag error!";
inline constexpr const char* FunctionCodeItems = "Error: func_code_items tag error!";
inline constexpr const char* AddressItems = "Error: addr_items tag error!";
inline constexpr const char* FunctionCodeNull = "Error: func_code_specifier: pRoot = NULL";
inline constexpr const char* AddressNull = "Error: addr_specifier: pRoot = NULL";
inline constexpr const char* DataItem = "Error: The COMMAND data_items identifier matches failed!";
inline constexpr const char* CommandElement = "Error: Command element tag error!";
inline constexpr const char* ResponseCodes = "Error: response_code_reference function has not been processed!";
inline constexpr const char* UndefinedField = "Error: Undefined COMMAND field!";

// variable transfer
inline constexpr const char* RequestPart = "Error: COMMAND REQUEST data error!";
inline constexpr const char* TransactionMode = "Error: COMMAND TRANSACTION tag error!";
inline constexpr const char* SearchingCommand = "Error: Searching command error!";
inline constexpr const char* NoReadCommand = "Error: Couldn't find the read command of variable \"%s\"!";
inline constexpr const char* NoWriteCommand = "Error: Couldn't find the write command of variable \"%s\"!";
inline constexpr const char* ReadFailed = "Error: Read variable \"%s\" failed!";
inline constexpr const char* CommandNotFound = "Error: Couldn't find command named %s!";
inline constexpr const char* CommunicationType = "Error: Communication type error!";
inline constexpr const char* DataTooLong = "Error: The data of command \"%s\" are longer than 255 bytes!";  // our own
inline constexpr const char* ShortReply = "Error: The device answered command \"%s\" with %d of %d bytes!";  // our own

// menus, collections, action lists
inline constexpr const char* MenuItemSelection = "Error: menu_item_selection, tag error!";
inline constexpr const char* MenuItemNull = "Error: menu_item_specifier: pRoot = NULL";
inline constexpr const char* MenuItemTag = "Error: menu_item_specifier tag error!";
inline constexpr const char* TitleBreak = "Error: The 'title break' attribute is error!";
inline constexpr const char* MenuItem = "Error: The menu_item tag is error!";
inline constexpr const char* ArgumentList = "the menu_item_args argument_list does not be processed!";
inline constexpr const char* ImageQualifiers = "the menu_item_args image_qualifier_list does not be processed!";
inline constexpr const char* ItemArguments = "Error: The menu_item_args tag is error!";
inline constexpr const char* ExpandUnknown = "Error: Unknown variable type in COLLECTION and ARRAY!";
inline constexpr const char* CompileCollection = "Error: Compile COLLECTION menu error!";
inline constexpr const char* MenuCollection = "Error: MENU collection error!";
inline constexpr const char* FixedListFull = "Error: A list holds at most 256 variables!";  // our own
inline constexpr const char* LayoutItem = "Error: menu_item, tag has not been processed!";
inline constexpr const char* MenuTag = "Error: MENU tag error!";
inline constexpr const char* ActionsNull = "Error: actions_specifier: pRoot = NULL";
inline constexpr const char* ActionsTag = "Error: actions_specifier tag error!";
inline constexpr const char* ActionsSelection = "Error: actions_selection tag error!";  // our own

// upload, download and menu processing
inline constexpr const char* UploadEmpty = "Error: The Upload menu is empty";
inline constexpr const char* DownloadEmpty = "Error: The download menu is empty";
inline constexpr const char* UploadText = "Upload data from transmitter, please wait... ...";
inline constexpr const char* DownloadText = "Download data to transmitter, please wait... ...";
inline constexpr const char* NoProcessMenu = "Error: Couldn't find download menu!";
inline constexpr const char* ProcessActions = "Error: actions tag error!";
inline constexpr const char* ProcessTag = "Error: MENU processing tag error!";
inline constexpr const char* ConfigurationSection = "CONFIG_VARIABLES";

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

// "Add transmitter file": the form of the session's Add file
// (app/add_file.h), whose OK runs the checks, the questions and the copy
// into the library; a refusal keeps the dialog open.
#pragma once

class QWidget;

namespace tavrin::app {
struct ProgramFiles;
}
namespace tavrin::ui {
class UserInterface;
}

namespace tavrin::gui {

inline constexpr const char* kAddFileDialog = "addFileDialog";

// True when a file was registered.
bool addFileDialog(QWidget* parent, const app::ProgramFiles& files, ui::UserInterface& ui);

}  // namespace tavrin::gui

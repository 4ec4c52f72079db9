// What "Compare with file..." found: a modal list of the variables whose
// device value differs from the file's (name, label, device value, file
// value, unit), then those missing in the file and the file's keys that
// name no variable; "(missing)" stands where a side has nothing.
#pragma once

#include <string>

#include "app/parameter_compare.h"

class QWidget;

namespace tavrin::gui {

inline constexpr const char* kMissingText = "(missing)";

void showComparison(QWidget* parent, const std::string& path, const app::ParameterComparison& comparison);

}  // namespace tavrin::gui

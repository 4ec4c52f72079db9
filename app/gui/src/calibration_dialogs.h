// The batch calibration dialogs as the session's runner: the calibration
// methods' built-ins MY_Z7310MassLineTrim and MY_Z7310MassTempTrim open
// them modally over the window, on the GUI thread that runs the method.
#pragma once

#include "app/session.h"

class QWidget;

namespace tavrin::gui {

class QtUserInterface;

// Runs the dialog until it is closed; true (there is one for each).
bool runBatchCalibration(builtins::BatchCalibration which, app::DeviceSession& session, QtUserInterface& ui,
                         QWidget* parent);

}  // namespace tavrin::gui

#include "calibration_dialogs.h"

#include "linearization_dialog.h"
#include "temperature_dialog.h"

namespace tavrin::gui {

bool runBatchCalibration(builtins::BatchCalibration which, app::DeviceSession& session, QtUserInterface& ui,
                         QWidget* parent) {
  switch (which) {
    case builtins::BatchCalibration::Linearization: {
      LinearizationDialog dialog(session, ui, parent);
      dialog.exec();
      return true;
    }
    case builtins::BatchCalibration::TemperatureCompensation: {
      TemperatureDialog dialog(session, ui, parent);
      dialog.exec();
      return true;
    }
  }
  return false;
}

}  // namespace tavrin::gui

// Engineering units: the short texts and conversion factors of the unit
// codes that PA devices report (the codes of the PROFIBUS PA profile).
#pragma once

#include <cstdint>
#include <string_view>

namespace tavrin::model {

// The text of the first row with this code; empty for an unknown code.
std::string_view unitCodeText(int32_t code);
// The size of one unit in the base unit of its quantity (kPa, m, m³, kg,
// m³/s, kg/s, kg/m³); 1 for an unknown code and for temperatures, which are
// never converted.
double unitFactor(int32_t code);
// The value unchanged for equal codes, else value × factor(from) ÷ factor(to).
double convertUnit(double value, int32_t fromCode, int32_t toCode);

}  // namespace tavrin::model

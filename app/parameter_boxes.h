#pragma once
#include "device/parameter_table.h"

#include <string_view>

// For now the window finds the box of a parameter row by the box's objectName; the preset
// panel that builds its boxes from the rows replaces this.
inline const char *BoxName(const device::Parameter &row)
{
    static constexpr std::pair<std::string_view, const char *> kBoxes[] = {
        {"pwm_voltage", "Text3"},     {"pwm_frequency", "Text4"},   {"pwm_duty", "Text5"},
        {"pulse_delay", "Text6"},     {"pulse_high", "Text7"},      {"pulse_low", "Text8"},
        {"pulse_number", "Text9"},    {"voltage_source", "Text10"}, {"current_source", "Text11"},
        {"sine_frequency", "Text13"}, {"work_mode", "Text12"},      {"pulse_count", "Text14"},
    };
    for (const auto &[key, name] : kBoxes) {
        if (key == row.key)
            return name;
    }
    return "";
}

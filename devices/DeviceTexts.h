#pragma once

// The few operator-visible texts of the device database, by their index in the
// UI text table, so they follow the loaded language.

#include <QString>

enum DeviceUiTextIndex : int {
    UI_SELECT_DEVICE = 10,
    UI_SELECT = 130,
    UI_CANCEL = 131,
    UI_DUPLICATE_FOUND = 149,
};

QString DeviceUiText(int index);

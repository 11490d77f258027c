#pragma once

// The few operator-visible texts of the device database, by their index in the
// UI text table. The table itself lives in i18n/ and is not in this tree yet;
// until it is, these return the built-in English texts. On merge the lead
// replaces the body of DeviceUiText with a call of Text(index).

#include <QString>

enum DeviceUiTextIndex : int {
    UI_SELECT_DEVICE = 10,
    UI_SELECT = 130,
    UI_CANCEL = 131,
    UI_DUPLICATE_FOUND = 149,
};

QString DeviceUiText(int index);

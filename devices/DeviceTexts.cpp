#include "DeviceTexts.h"

QString DeviceUiText(int index)
{
    switch (index) {
    case UI_SELECT_DEVICE:
        return QStringLiteral("Select Device");
    case UI_SELECT:
        return QStringLiteral("Select");
    case UI_CANCEL:
        return QStringLiteral("Cancel");
    case UI_DUPLICATE_FOUND:
        return QStringLiteral("Duplcaite found");
    default:
        return {};
    }
}

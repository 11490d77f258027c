#include "DeviceTexts.h"

#include "UiText.h"

QString DeviceUiText(int index)
{
    return Text(index);
}

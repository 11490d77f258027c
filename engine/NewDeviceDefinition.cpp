#include "NewDeviceDefinition.h"

#include "DeviceEditorDialog.h"
#include "DeviceItem.h"
#include "DeviceListPath.h"
#include "FrameServices.h"

#include <QApplication>
#include <QLineEdit>

namespace {

// The family's name, which names its device list file.
QString ListNameOf(int kind)
{
    return kind == DEVICE_SPI ? QStringLiteral("SPI") : QStringLiteral("Nand");
}

} // namespace

bool OfferNewDeviceDefinition(int kind, const QString &title, std::span<const uint8_t> id)
{
    CDeviceEditorDialog editor(QApplication::activeWindow(), kind, title);
    for (int i = 0; i < editor.IdFieldCount() && size_t(i) < id.size(); ++i)
        editor.IdField(i)->setText(QString::asprintf("%02xh", id[size_t(i)]));
    if (editor.exec() != QDialog::Accepted || !editor.Entry())
        return false;
    LogString(editor.Entry()->ToText());
    Frame()->OpenDeviceListFile(DeviceListPath(ListNameOf(kind)));
    return true;
}

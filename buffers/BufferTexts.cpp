#include "BufferTexts.h"

QString BufferText(int index)
{
    switch (index) {
    case BufferTextId::CompareFailed:
        return QStringLiteral("Compare data Failed address");
    case BufferTextId::SaveBinaryFile:
        return QStringLiteral("Save binary file");
    case BufferTextId::FileError:
        return QStringLiteral("File Error");
    case BufferTextId::Saved:
        return QStringLiteral("Saved");
    case BufferTextId::VerifyToleratesEcc:
        return QStringLiteral("Nand verify considers ECC algorithm !!");
    default:
        return {};
    }
}

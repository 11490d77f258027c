#include "OutcomeTexts.h"

#include "UiText.h"

QString OperationName(uint8_t code)
{
    switch (code) {
    case 'A': return Text(OutcomeText::NameRead);
    case 'B': return Text(OutcomeText::NameVerify);
    case 'K': return Text(OutcomeText::NameBlankCheck);
    case 'G': return Text(OutcomeText::NameErase);
    case 'D': return Text(OutcomeText::NameProgram);
    case 'N': return Text(OutcomeText::NameBadBlockScan);
    default: return code ? QString(QLatin1Char(char(code))) : QString();
    }
}

QString TextAtAddress(int textIndex, uint64_t address)
{
    return Text(textIndex) + QStringLiteral(" 0x") + QString::number(address, 16).toUpper();
}

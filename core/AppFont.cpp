#include "AppFont.h"

#include <QFontInfo>

namespace {
constexpr int PREFERRED_PIXEL_SIZE = 11;
constexpr int TYPEWRITER_PIXEL_SIZE = 10;

bool SystemHasExactly(const QFont &font)
{
    return QFontInfo(font).exactMatch();
}
} // namespace

QFont &AppFont()
{
    static QFont font;
    return font;
}

void ChooseAppFont(const FontMatcher &isExactMatch)
{
    const FontMatcher matches = isExactMatch ? isExactMatch : FontMatcher(SystemHasExactly);
    QFont &font = AppFont();
    font.setStyleHint(QFont::TypeWriter);
    font.setFamily(QStringLiteral("Lucida Console"));
    font.setPixelSize(PREFERRED_PIXEL_SIZE);
    if (!matches(font)) {
        font.setFamily(QStringLiteral("LucidaTypewriter"));
        if (matches(font)) {
            font.setPixelSize(TYPEWRITER_PIXEL_SIZE);
        } else {
            font.setFamily(QStringLiteral("B&H LucidaTypewriter"));
            font.setPixelSize(PREFERRED_PIXEL_SIZE);
        }
    }
    font.setFixedPitch(true);
}

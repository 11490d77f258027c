// Feeds arbitrary bytes to the language file reader as a file the operator
// chose, then looks up every text as the window does, and hands each line
// to the line parsers on their own.

#include "LanguageFile.h"
#include "UiText.h"

#include <QFile>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static QTemporaryDir dir;
    const QString path = dir.filePath("fuzz.lng");
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        file.write(reinterpret_cast<const char *>(data), qint64(size));
    }
    CUiText texts;
    texts.LoadLanguage(path);
    for (int index = 0; index < 400; ++index)
        texts.Text(index);
    CUiText::ReadLanguageName(path);

    const QString content = QString::fromLatin1(reinterpret_cast<const char *>(data), qsizetype(size));
    for (const QString &line : content.split(QLatin1Char('\n'))) {
        QString name, text;
        int index = 0;
        IsMeaningfulLine(line);
        ParseLanguageNameLine(line, name);
        ParseEntryLine(line, index, text);
        if (IsEncodingLine(line))
            DecodeWithCodec(CodecOfEncodingLine(line), line);
    }
    return 0;
}

#include "LanguageFile.h"

#include <QByteArray>
#include <QTextCodec>

namespace {

const QString s_encodingKey = QStringLiteral("Encoding");
const QString s_nameKey = QStringLiteral("LanguageName=");
const QString s_spacedNameKey = QStringLiteral("LanguageName = ");
const QString s_entryMarker = QStringLiteral("=\"");

// Position of the codec name in an "Encoding" line: after the key and one
// separator character.
constexpr int ENCODING_NAME_POS = 9;
// Entry lines: four index digits, then =" at this position.
constexpr int ENTRY_INDEX_DIGITS = 4;
constexpr int ENTRY_MARKER_POS = 4;
constexpr int ENTRY_TEXT_POS = 6;
constexpr int ENTRY_CLOSING_CHARS = 2;
// Lines this short carry nothing.
constexpr int SHORT_LINE_MAX = 4;

bool CanReadEightBitLines(QTextCodec *codec)
{
    // Keys and indexes are plain ASCII; a codec that does not decode ASCII
    // as itself (UTF-16, UTF-32) would garble every text, English included.
    static const QByteArray probe("Encoding=0123 \"LanguageName\";");
    return codec->toUnicode(probe) == QLatin1String(probe);
}

} // namespace

CLanguageFileReader::CLanguageFileReader(const QString &path)
    : m_file(path)
{
    if (!path.isEmpty())
        m_file.open(QIODevice::ReadOnly | QIODevice::Text);
}

bool CLanguageFileReader::NextLine(QString &line)
{
    if (!m_file.isOpen() || m_file.atEnd())
        return false;
    char buffer[LANGUAGE_LINE_MAX + 1];
    const qint64 length = m_file.readLine(buffer, sizeof buffer);
    if (length < 0)
        return false;
    QByteArray bytes(buffer, int(length));
    if (bytes.endsWith('\n'))
        bytes.chop(1);
    else
        SkipRestOfLine();
    // QByteArray::simplified() treats only ASCII white space as blanks. Bytes
    // such as 0xA0 and 0x85 are parts of UTF-8 characters, not blanks.
    line = QString::fromLatin1(bytes.simplified());
    return true;
}

void CLanguageFileReader::SkipRestOfLine()
{
    // An over-long line is cut; its rest must not be read as a line of its own.
    char buffer[LANGUAGE_LINE_MAX + 1];
    while (!m_file.atEnd()) {
        const qint64 length = m_file.readLine(buffer, sizeof buffer);
        if (length <= 0 || buffer[length - 1] == '\n')
            return;
    }
}

bool IsMeaningfulLine(const QString &line)
{
    if (line.size() <= SHORT_LINE_MAX)
        return false;
    const QChar first = line.at(0);
    return first != QLatin1Char(';') && first != QLatin1Char('/');
}

bool IsEncodingLine(const QString &line)
{
    return line.startsWith(s_encodingKey);
}

QTextCodec *CodecOfEncodingLine(const QString &line)
{
    const QByteArray name = line.mid(ENCODING_NAME_POS).toLatin1();
    QTextCodec *codec = nullptr;
    if (!name.isEmpty() && name != "System")
        codec = QTextCodec::codecForName(name);
    if (codec && CanReadEightBitLines(codec))
        return codec;
    return QTextCodec::codecForLocale();
}

bool ParseLanguageNameLine(const QString &line, QString &name)
{
    if (!IsMeaningfulLine(line))
        return false;
    if (line.startsWith(s_spacedNameKey)) {
        name = line.mid(s_spacedNameKey.size());
        return true;
    }
    if (line.startsWith(s_nameKey)) {
        name = line.mid(s_nameKey.size());
        return true;
    }
    return false;
}

bool ParseEntryLine(const QString &line, int &index, QString &text)
{
    if (!IsMeaningfulLine(line) || line.indexOf(s_entryMarker) != ENTRY_MARKER_POS)
        return false;
    bool isNumber = false;
    index = line.left(ENTRY_INDEX_DIGITS).toInt(&isNumber, 10);
    if (!isNumber)
        index = 0;
    const qsizetype textLength = line.size() - ENTRY_TEXT_POS - ENTRY_CLOSING_CHARS;
    text = textLength > 0 ? line.mid(ENTRY_TEXT_POS, textLength) : QString();
    text.replace(QLatin1String("\\r\\n"), QLatin1String("\r\n"));
    return true;
}

QString DecodeWithCodec(QTextCodec *codec, const QString &latin1Text)
{
    if (!codec)
        return latin1Text;
    return codec->toUnicode(latin1Text.toLatin1());
}

#pragma once

// Reading language files: 8-bit text, one item per line.
//
//   Encoding=UTF-8            text codec of the entries (any name the codec
//                             registry knows, else the system codec)
//   LanguageName=Deutsch      display name in the language selection
//   ; comment  / comment      ignored, as are lines of 4 characters or fewer
//   0005="Öffnen";            entry: 4-digit UI text index, =", text, and two
//                             closing characters; \r\n in the text is a line break
//
// Lines are kept as Latin-1 characters (one QChar per byte) until a text is
// shown; the codec decodes them then.

#include <QFile>
#include <QString>

class QTextCodec;

// Longest line content in bytes; the rest of a longer line is dropped.
inline constexpr int LANGUAGE_LINE_MAX = 1023;

// Reads the lines of a language file, simplified (ASCII white space trimmed
// and every inner run of it made one space).
class CLanguageFileReader
{
public:
    explicit CLanguageFileReader(const QString &path);

    bool IsOpen() const { return m_file.isOpen(); }
    // The next line as Latin-1 characters; false at the end of the file.
    bool NextLine(QString &line);

private:
    void SkipRestOfLine();

    QFile m_file;
};

// True for the lines that are neither too short nor a comment.
bool IsMeaningfulLine(const QString &line);

// True when the line names the file's codec ("Encoding" and a separator).
bool IsEncodingLine(const QString &line);
// The codec of an "Encoding" line; the system codec for a name the registry
// does not know, for "System", and for codecs that cannot read 8-bit lines.
QTextCodec *CodecOfEncodingLine(const QString &line);

// The display name of a "LanguageName=" (or "LanguageName = ") line, still as
// Latin-1 characters; false when the line is no such line.
bool ParseLanguageNameLine(const QString &line, QString &name);

// An entry line: its index and its text (\r\n already replaced by CR LF);
// false when the line is no entry.
bool ParseEntryLine(const QString &line, int &index, QString &text);

// Decodes Latin-1 characters with the codec; unchanged when the codec is null.
QString DecodeWithCodec(QTextCodec *codec, const QString &latin1Text);

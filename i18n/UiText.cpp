#include "UiText.h"

#include "LanguageFile.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QTextCodec>

#include <algorithm>

CUiText g_uiText;

QString Text(int index)
{
    return g_uiText.Text(index);
}

QString CUiText::BuiltinText(int index)
{
    return QString::fromLatin1(BuiltinUiText(index));
}

const QString &CUiText::Text(int index)
{
    m_result.clear();
    if (index >= 0 && index < m_count)
        m_result = m_texts.at(index);
    if (m_result.isEmpty())
        m_result = BuiltinText(index);
    // Texts are kept as 8-bit characters; the language's codec decodes the
    // built-in ones too, which are plain ASCII and stay as they are.
    if (m_codec)
        m_result = DecodeWithCodec(m_codec, m_result);
    return m_result;
}

void CUiText::RegisterMenu(QMenu *menu, int index)
{
    if (!menu)
        return;
    DropDestroyedWidgets();
    m_menus.push_back({menu, index});
    menu->setTitle(Text(index));
}

void CUiText::RegisterAction(QAction *action, int textIndex, int tipIndex)
{
    if (!action)
        return;
    DropDestroyedWidgets();
    m_actions.push_back({action, textIndex, tipIndex});
    action->setText(Text(textIndex));
    action->setStatusTip(Text(tipIndex));
}

void CUiText::RegisterLabel(QLabel *label, int index)
{
    if (!label)
        return;
    DropDestroyedWidgets();
    const bool known = std::any_of(m_labels.begin(), m_labels.end(),
                                   [label](const SLabelEntry &entry) { return entry.label == label; });
    if (!known)
        m_labels.push_back({label, index});
    label->setText(Text(index));
}

void CUiText::ApplyTexts()
{
    DropDestroyedWidgets();
    for (const SMenuEntry &entry : m_menus)
        entry.menu->setTitle(Text(entry.index));
    for (const SActionEntry &entry : m_actions) {
        entry.action->setText(Text(entry.textIndex));
        entry.action->setStatusTip(Text(entry.tipIndex));
    }
    for (const SLabelEntry &entry : m_labels)
        entry.label->setText(Text(entry.index));
}

void CUiText::DropDestroyedWidgets()
{
    // Views that register their actions come and go with the target; their
    // entries must not outlive them.
    std::erase_if(m_menus, [](const SMenuEntry &entry) { return entry.menu.isNull(); });
    std::erase_if(m_actions, [](const SActionEntry &entry) { return entry.action.isNull(); });
    std::erase_if(m_labels, [](const SLabelEntry &entry) { return entry.label.isNull(); });
}

bool CUiText::LoadLanguage(const QString &path)
{
    m_codec = nullptr;
    const QString name = path.isEmpty() ? QString() : ReadLanguageName(path);
    m_texts.clear();
    m_count = 0;
    const bool loaded = name.isEmpty() ? path.isEmpty() : ReadEntries(path);
    m_count = int(m_texts.size());
    ApplyTexts();
    return loaded;
}

bool CUiText::ReadEntries(const QString &path)
{
    CLanguageFileReader reader(path);
    if (!reader.IsOpen())
        return false;
    QString line;
    int next = 0;
    while (reader.NextLine(line)) {
        int index = 0;
        QString text;
        if (IsEncodingLine(line)) {
            m_codec = CodecOfEncodingLine(line);
        } else if (ParseEntryLine(line, index, text) && index >= next && index < UI_TEXT_COUNT) {
            // Indexes the file skips keep their English text.
            for (; next < index; ++next)
                m_texts << BuiltinText(next);
            m_texts << text;
            next = index + 1;
        }
    }
    return true;
}

QString CUiText::ReadLanguageName(const QString &path)
{
    CLanguageFileReader reader(path);
    QTextCodec *codec = nullptr;
    QString line;
    while (reader.NextLine(line)) {
        QString name;
        if (IsEncodingLine(line))
            codec = CodecOfEncodingLine(line);
        else if (ParseLanguageNameLine(line, name))
            return DecodeWithCodec(codec, name);
    }
    return QString();
}

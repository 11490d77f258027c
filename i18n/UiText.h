#pragma once

// The table of operator-visible texts. Every translatable text has an index
// (0 to UI_TEXT_COUNT - 1); Text(index) gives the loaded language's text, else
// the built-in English one. Menus, actions and labels registered with their
// indexes are re-labelled whenever another language is loaded.

#include "BuiltinTexts.h"

#include <QPointer>
#include <QString>
#include <QStringList>

#include <vector>

class QAction;
class QLabel;
class QMenu;
class QTextCodec;

class CUiText
{
public:
    // The text for an index: the loaded text when it is not empty, else the
    // English one; empty outside 0 to UI_TEXT_COUNT - 1. The reference stays
    // valid only until the next lookup: copy it before looking up another.
    const QString &Text(int index);

    // Register a widget with its text index(es) and label it now. Widgets may
    // be destroyed at any time; their entries are then dropped.
    void RegisterMenu(QMenu *menu, int index);
    void RegisterAction(QAction *action, int textIndex, int tipIndex);
    // A label registered already keeps its first index for later re-labelling.
    void RegisterLabel(QLabel *label, int index);

    // Re-label every registered menu, action and label.
    void ApplyTexts();

    // Load a language file and re-label; an empty path restores English.
    // False when a file was named but could not be loaded (English is then in
    // force).
    bool LoadLanguage(const QString &path);

    // The display name of a language file; empty when the file cannot be read
    // or has no "LanguageName=" line. Leaves the loaded language alone.
    static QString ReadLanguageName(const QString &path);

    // The built-in English text, whatever language is loaded.
    static QString BuiltinText(int index);

    int LoadedCount() const { return m_count; }
    QTextCodec *Codec() const { return m_codec; }

private:
    struct SMenuEntry
    {
        QPointer<QMenu> menu;
        int index;
    };
    struct SActionEntry
    {
        QPointer<QAction> action;
        int textIndex;
        int tipIndex;
    };
    struct SLabelEntry
    {
        QPointer<QLabel> label;
        int index;
    };

    void DropDestroyedWidgets();
    bool ReadEntries(const QString &path);

    int m_count = 0;                  // texts loaded from the language file
    QString m_result;                 // result of the last lookup
    QTextCodec *m_codec = nullptr;    // codec of the loaded language, null for none
    QStringList m_texts;              // loaded texts, element i is UI text i
    std::vector<SMenuEntry> m_menus;
    std::vector<SActionEntry> m_actions;
    std::vector<SLabelEntry> m_labels;
};

extern CUiText g_uiText;

// The text of an index in the current language, as a copy, so that two texts
// can be used in one expression.
QString Text(int index);

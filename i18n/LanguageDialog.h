#pragma once

// The language selection: lists English and every language file of the
// language folder by display name; on OK, m_selectedPath is the chosen file
// (empty for English).

#include <QDialog>
#include <QFileInfoList>
#include <QString>

class QDialogButtonBox;
class QGroupBox;
class QLabel;
class QListWidget;

class CLanguageDialog : public QDialog
{
    Q_OBJECT
public:
    // languageDir: the folder to list, by default "Languages" below the
    // current directory. currentPath: the language file in force, whose entry
    // starts selected (English when empty or not listed).
    explicit CLanguageDialog(QWidget *parent = nullptr, const QString &languageDir = QString(),
                             const QString &currentPath = QString());

    // "Languages" below the current directory, as an absolute path.
    static QString DefaultLanguageDirectory();
    // The language files of a folder (names beginning with "XR", any
    // extension), in the order in which a display name is looked up.
    static QFileInfoList LanguageFiles(const QString &languageDir);

    // The chosen language file after the dialog was accepted; empty for English.
    QString m_selectedPath;

public slots:
    void accept() override;

private:
    void CreateWidgets();
    void FillList(const QString &currentPath);

    QString m_languageDir;
    QGroupBox *m_groupBox = nullptr;
    QLabel *m_caption = nullptr;
    QListWidget *m_list = nullptr;
    QDialogButtonBox *m_buttons = nullptr;
};

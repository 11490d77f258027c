#pragma once

// The list of reads that a multiple read file correction compares with the
// image in the main buffer. "..." adds a file, ">>" removes the selected one;
// the main buffer's own file and files already listed are not added twice.

#include <QDialog>
#include <QString>
#include <QStringList>

class QListWidget;
class QPushButton;

class CSelectFilesDialog : public QDialog
{
    Q_OBJECT

public:
    // excludedPath: the file loaded in the main buffer.
    explicit CSelectFilesDialog(const QString &excludedPath, QWidget *parent = nullptr);

    QStringList paths() const;
    // Adds path unless it is empty, the excluded file or already listed;
    // true when it was added.
    bool addPath(const QString &path);

    QListWidget *list() const { return m_list; }
    QPushButton *browseButton() const { return m_browse; }
    QPushButton *removeButton() const { return m_remove; }

private:
    void browse();
    void removeSelected();

    QString m_excludedPath;
    QListWidget *m_list = nullptr;
    QPushButton *m_browse = nullptr;
    QPushButton *m_remove = nullptr;
};

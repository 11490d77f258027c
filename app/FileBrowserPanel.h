#pragma once

// The panel at the left of the main window: the working directory's name, a
// "..." button that chooses another one, the directory's files, and the size
// and date of the selected file.

#include <QFrame>
#include <QRect>
#include <QString>

class CFileListView;
class QLineEdit;
class QPushButton;

class CFileBrowserPanel : public QFrame
{
    Q_OBJECT

public:
    explicit CFileBrowserPanel(QWidget *parent = nullptr);

    // Names the directory in the name box and lists its files.
    void ShowDirectory(const QString &path);

    // The window connects the button's clicked(bool) to its directory choice.
    QPushButton *SelectDirectoryButton() const { return m_selectButton; }
    CFileListView *FileList() const { return m_fileList; }
    QLineEdit *NameBox() const { return m_nameBox; }
    QLineEdit *InfoBox() const { return m_infoBox; }

    // Where each child goes in a panel of the given size.
    struct SGeometry
    {
        QRect nameBox, selectButton, fileList, infoBox;
    };
    static SGeometry GeometryFor(int width, int height);
    // The last component of a path; a trailing "/" does not count.
    static QString LastComponent(const QString &path);

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    QLineEdit *m_nameBox;
    QPushButton *m_selectButton;
    CFileListView *m_fileList;
    QLineEdit *m_infoBox;
};

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
class QTimer;

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
    // How often the information box looks at the selected file again: a
    // read writes its image file long after the file was listed.
    static constexpr int InfoRefreshMs = 1000;

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
    // Shows text in the information box, its start in sight.
    void ShowInformation(const QString &text);
    // The selected file's size and date as they are now.
    void RefreshInformation();

    QLineEdit *m_nameBox;
    QPushButton *m_selectButton;
    CFileListView *m_fileList;
    QLineEdit *m_infoBox;
    QTimer *m_infoRefresh;
};

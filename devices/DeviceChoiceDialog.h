#pragma once

// Asks the operator which of several entries answering the same ID is the
// chip in the socket.

#include <QDialog>
#include <QStringList>

class QListWidget;

class CDeviceChoiceDialog : public QDialog
{
    Q_OBJECT
public:
    explicit CDeviceChoiceDialog(const QStringList &names, QWidget *parent = nullptr);

    // The row chosen (the first row unless the operator moved), -1 for none.
    int SelectedRow() const;
    QListWidget *List() const { return m_list; }

private:
    QListWidget *m_list;
};

#include "WindowTestKit.h"

#include "SimAdapterHost.h"

#include <QDir>
#include <QFileDialog>

QString UseSimConfig(const QString &iniText)
{
    return WriteSimConfig(QDir::tempPath(), iniText);
}

void AnswerNextFileDialog(const QString &path)
{
    AnswerNextModal<QFileDialog>([path](QFileDialog *dialog) {
        dialog->selectFile(path);
        // accept() is protected in QFileDialog; its slot takes the typed name.
        QMetaObject::invokeMethod(dialog, "accept");
    });
}

#include <QApplication>
#include <QLabel>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QLabel label(QStringLiteral("Norvaplex   1.09 prebuild"));
    label.resize(320, 80);
    label.show();
    return app.exec();
}

#include "MainFrame.h"

#include <QApplication>

#include <memory>

int main(int argc, char *argv[])
{
    auto app = std::make_unique<QApplication>(argc, argv);
    auto window = std::make_unique<CMainFrame>();
    window->show();
    const int result = app->exec();
    window.reset();
    app.reset();
    return result;
}

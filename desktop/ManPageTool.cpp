// Writes the manual page from its template, with the option list taken from
// the program's own option table, so the page never lists other options
// than the program takes.
//   nvp-manpage <template> <output>
#include "CommandLine.h"
#include "ProductInfo.h"

#include <QFile>
#include <QString>

#include <cstdio>

int main(int argc, char *argv[])
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s <template> <output>\n", argv[0]);
        return 2;
    }
    QFile in(QString::fromLocal8Bit(argv[1]));
    if (!in.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "%s: cannot read %s\n", argv[0], argv[1]);
        return 1;
    }
    QString page = QString::fromUtf8(in.readAll());
    page.replace(QStringLiteral("@VERSION@"), QLatin1String(g_productVersion));
    // The NAME line of a manual page carries no full stop.
    QString summary = CommandLineSummary();
    while (summary.endsWith(QLatin1Char('.')))
        summary.chop(1);
    page.replace(QStringLiteral("@SUMMARY@"), summary);
    page.replace(QStringLiteral("@OPTIONS@\n"), CommandLineManOptions());
    QFile out(QString::fromLocal8Bit(argv[2]));
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate) || out.write(page.toUtf8()) < 0) {
        std::fprintf(stderr, "%s: cannot write %s\n", argv[0], argv[2]);
        return 1;
    }
    return 0;
}

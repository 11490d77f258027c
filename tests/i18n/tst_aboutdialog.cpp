#include "AboutDialog.h"
#include "UiText.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

// The about box shows the product line and the two links, and closes by OK.
class TestAboutDialog : public QObject
{
    Q_OBJECT
private slots:
    void cleanup() { g_uiText.LoadLanguage(QString()); }

    void showsItsTexts()
    {
        CAboutDialog dialog;
        QCOMPARE(dialog.windowTitle(), QStringLiteral("About Norvaplex ...."));
        QCOMPARE(dialog.size(), QSize(353, 164));
        QCOMPARE(dialog.minimumSize(), dialog.maximumSize());
        QVERIFY(dialog.isModal());
        QVERIFY(dialog.isSizeGripEnabled());

        const auto *product = dialog.findChild<QLabel *>("productLabel");
        const auto *web = dialog.findChild<QLabel *>("webLabel");
        const auto *mail = dialog.findChild<QLabel *>("mailLabel");
        const auto *notice = dialog.findChild<QLabel *>("noticeLabel");
        QVERIFY(product && web && mail && notice);
        QCOMPARE(product->text(), QStringLiteral("Norvaplex1.09 prebuild"));
        QVERIFY(!notice->text().isEmpty());

        const QRegularExpression webLink(
            QStringLiteral("^<a href=(https?://[^ ]+) style=\"text-decoration:none;\">\\1</a>$"));
        QVERIFY2(webLink.match(web->text()).hasMatch(), qPrintable(web->text()));
        const QRegularExpression mailLink(
            QStringLiteral("^<a href=mailto:([^ @]+@[^ ]+) style=\"text-decoration:none;\">\\1</a>$"));
        QVERIFY2(mailLink.match(mail->text()).hasMatch(), qPrintable(mail->text()));
        for (const QLabel *link : {web, mail}) {
            QVERIFY(link->openExternalLinks());
            QCOMPARE(link->textInteractionFlags(),
                     Qt::TextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard));
            QCOMPARE(link->cursor().shape(), Qt::PointingHandCursor);
        }

        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        const QPixmap picture = dialog.grab();
        QCOMPARE(picture.size(), QSize(353, 164));
        for (const QLabel *label : {product, notice, web, mail})
            QVERIFY(label->isVisible());
        // The addresses are links the operator reads: they must not be cut.
        for (const QLabel *link : {product, web, mail})
            QVERIFY2(link->sizeHint().width() <= link->width(), qPrintable(link->text()));
    }

    void titleFollowsTheLoadedLanguage()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("XRDeutsch.txt");
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("Encoding=UTF-8\nLanguageName=Deutsch\n0029=\"\xc3\x9c" "ber Norvaplex ....\";\n");
        file.close();
        QVERIFY(g_uiText.LoadLanguage(path));
        CAboutDialog dialog;
        QCOMPARE(dialog.windowTitle(), QString::fromUtf8("Über Norvaplex ...."));
    }

    void okClosesTheModalBox()
    {
        CAboutDialog dialog;
        bool answered = false;
        QTimer::singleShot(0, [&] {
            auto *active = qobject_cast<CAboutDialog *>(QApplication::activeModalWidget());
            if (!active)
                return;
            answered = true;
            active->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->click();
        });
        QCOMPARE(dialog.exec(), int(QDialog::Accepted));
        QVERIFY(answered);
    }
};

QTEST_MAIN(TestAboutDialog)
#include "tst_aboutdialog.moc"

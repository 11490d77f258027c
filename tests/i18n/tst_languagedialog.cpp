#include "LanguageDialog.h"
#include "UiText.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>

// The language selection lists the language files of "Languages" below the
// current directory by display name and hands back the chosen file.
class TestLanguageDialog : public QObject
{
    Q_OBJECT
private:
    QTemporaryDir m_dir;

    QString LanguagePath(const QString &name) const { return m_dir.filePath("Languages/" + name); }

    void Write(const QString &name, const QByteArray &content)
    {
        QFile file(LanguagePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(content), content.size());
    }

    static QStringList ItemTexts(const CLanguageDialog &dialog)
    {
        const QListWidget *list = dialog.findChild<QListWidget *>("languageList");
        QStringList texts;
        for (int i = 0; list && i < list->count(); ++i)
            texts << list->item(i)->text();
        return texts;
    }

    // Runs the dialog modally; the answer comes from the event loop it starts.
    static int RunAnswered(CLanguageDialog &dialog, const std::function<void(CLanguageDialog *)> &answer)
    {
        bool answered = false;
        QTimer::singleShot(0, [&] {
            auto *active = qobject_cast<CLanguageDialog *>(QApplication::activeModalWidget());
            if (!active)
                return;
            answered = true;
            answer(active);
            // An answer that fails to close the dialog fails the test instead
            // of hanging it.
            QTimer::singleShot(0, active, [active] {
                if (active->isVisible())
                    active->done(-2);
            });
        });
        const int result = dialog.exec();
        if (!answered)
            qWarning("the dialog was not the active modal widget");
        return answered ? result : -1;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QVERIFY(QDir(m_dir.path()).mkpath("Languages/XRFolder"));
        Write("XRDeutsch.txt", "Encoding=UTF-8\nLanguageName=Deutsch\n0000=\"Datei\";\n");
        Write("XRFrancais.lng", "LanguageName = Francais\n0000=\"Fichier\";\n");
        Write("XRNoName.txt", "0000=\"Datei\";\n");
        Write("Other.txt", "LanguageName=Other\n");
        Write("xrLower.txt", "LanguageName=Lower\n");
        Write("XRFolder/XRInside.txt", "LanguageName=Inside\n");
        // Two files with one display name; the smaller one is listed first.
        Write("XRDupSmall.txt", "LanguageName=Dup\n0000=\"Klein\";\n");
        Write("XRDupLarge.txt", "LanguageName=Dup\n; a comment that makes this file the larger one\n"
                                "0000=\"Gross\";\n");
        QVERIFY(QFile::link(LanguagePath("Other.txt"), LanguagePath("XRLink.txt")));
        QVERIFY(QDir::setCurrent(m_dir.path()));
    }
    void cleanup() { g_uiText.LoadLanguage(QString()); }

    void listsTheLanguageFiles()
    {
        CLanguageDialog dialog;
        QCOMPARE(ItemTexts(dialog), QStringList({"Deutsch", "Dup", "Dup", "English(default)", "Francais"}));
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Language Selection"));
        QCOMPARE(dialog.size(), QSize(291, 340));
        QCOMPARE(dialog.minimumSize(), dialog.maximumSize());
        const QList<QLabel *> labels = dialog.findChildren<QLabel *>();
        QCOMPARE(labels.size(), 1);
        QCOMPARE(labels.first()->text(), QStringLiteral("Available Language"));
        QCOMPARE(CLanguageDialog::DefaultLanguageDirectory(), QDir(m_dir.path()).absoluteFilePath("Languages"));
    }

    void titleFollowsTheLoadedLanguage()
    {
        QVERIFY(g_uiText.LoadLanguage(LanguagePath("XRDeutsch.txt")));
        Write("XRTitles.txt", "LanguageName=Titles\n0110=\"Sprachauswahl\";\n0111=\"Sprachen\";\n");
        QVERIFY(g_uiText.LoadLanguage(LanguagePath("XRTitles.txt")));
        CLanguageDialog dialog;
        QFile::remove(LanguagePath("XRTitles.txt"));
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Sprachauswahl"));
        QCOMPARE(dialog.findChild<QLabel *>()->text(), QStringLiteral("Sprachen"));
    }

    void currentLanguageStartsSelected_data()
    {
        QTest::addColumn<QString>("currentFile");
        QTest::addColumn<QString>("selectedText");
        QTest::newRow("English") << "" << "English(default)";
        QTest::newRow("French") << "XRFrancais.lng" << "Francais";
        QTest::newRow("file no longer there") << "XRGone.txt" << "English(default)";
    }
    void currentLanguageStartsSelected()
    {
        QFETCH(QString, currentFile);
        QFETCH(QString, selectedText);
        CLanguageDialog dialog(nullptr, QString(), currentFile.isEmpty() ? QString() : LanguagePath(currentFile));
        const QListWidget *list = dialog.findChild<QListWidget *>("languageList");
        QVERIFY(list->currentItem());
        QCOMPARE(list->currentItem()->text(), selectedText);
    }

    void choosing_data()
    {
        QTest::addColumn<QString>("itemText");
        QTest::addColumn<QString>("how");
        QTest::addColumn<int>("result");
        QTest::addColumn<QString>("selectedFile");
        QTest::addColumn<QString>("menuTitle");
        QTest::newRow("German by OK") << "Deutsch" << "ok" << int(QDialog::Accepted) << "XRDeutsch.txt" << "Datei";
        QTest::newRow("French by double click")
            << "Francais" << "double-click" << int(QDialog::Accepted) << "XRFrancais.lng" << "Fichier";
        QTest::newRow("English by OK") << "English(default)" << "ok" << int(QDialog::Accepted) << "" << "File";
        QTest::newRow("duplicate name: first file listed")
            << "Dup" << "ok" << int(QDialog::Accepted) << "XRDupSmall.txt" << "Klein";
        QTest::newRow("no current item: English") << "" << "ok" << int(QDialog::Accepted) << "" << "File";
        QTest::newRow("cancel") << "Deutsch" << "cancel" << int(QDialog::Rejected) << "" << "File";
    }
    void choosing()
    {
        QFETCH(QString, itemText);
        QFETCH(QString, how);
        QFETCH(int, result);
        QFETCH(QString, selectedFile);
        QFETCH(QString, menuTitle);

        QMenu menu;
        g_uiText.RegisterMenu(&menu, 0);
        // Start from another language, so that choosing English must re-label.
        QVERIFY(g_uiText.LoadLanguage(LanguagePath("XRDupLarge.txt")));
        QCOMPARE(menu.title(), QStringLiteral("Gross"));

        CLanguageDialog dialog;
        const int answer = RunAnswered(dialog, [&](CLanguageDialog *active) {
            auto *list = active->findChild<QListWidget *>("languageList");
            auto *buttons = active->findChild<QDialogButtonBox *>();
            if (itemText.isEmpty()) {
                list->setCurrentItem(nullptr);
            } else {
                const QList<QListWidgetItem *> items = list->findItems(itemText, Qt::MatchExactly);
                list->setCurrentItem(items.last());
            }
            if (how == "ok") {
                buttons->button(QDialogButtonBox::Ok)->click();
            } else if (how == "cancel") {
                buttons->button(QDialogButtonBox::Cancel)->click();
            } else {
                const QPoint centre = list->visualItemRect(list->currentItem()).center();
                QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, centre);
                QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, centre);
            }
        });
        QCOMPARE(answer, result);
        const QString expected = selectedFile.isEmpty() ? QString() : QFileInfo(LanguagePath(selectedFile)).absoluteFilePath();
        QCOMPARE(dialog.m_selectedPath, expected);

        // The window loads the chosen file only when the dialog was accepted.
        if (answer == QDialog::Accepted)
            QVERIFY(g_uiText.LoadLanguage(dialog.m_selectedPath));
        else
            QVERIFY(g_uiText.LoadLanguage(QString()));
        QCOMPARE(menu.title(), menuTitle);
    }

    void emptyOrMissingFolderListsEnglishOnly()
    {
        CLanguageDialog dialog(nullptr, m_dir.filePath("NoSuchFolder"));
        QCOMPARE(ItemTexts(dialog), QStringList({"English(default)"}));
    }
};

QTEST_MAIN(TestLanguageDialog)
#include "tst_languagedialog.moc"

#pragma once

// The about box: product name and version, a notice, and links to the web
// site and the support mail address, which the desktop opens.

#include <QDialog>

class QDialogButtonBox;
class QLabel;
class QVBoxLayout;
class QWidget;

class CAboutDialog : public QDialog
{
    Q_OBJECT
public:
    explicit CAboutDialog(QWidget *parent = nullptr);

    // The texts the box shows (the link labels hold HTML).
    static QString ProductLine();
    static QString NoticeText();
    static QString WebLinkHtml();
    static QString MailLinkHtml();

private:
    void CreateFrame();
    void CreateTexts();

    QDialogButtonBox *m_buttonBox = nullptr;
    QLabel *m_iconLabel = nullptr;
    QWidget *m_textContainer = nullptr;
    QVBoxLayout *m_textLayout = nullptr;
    QLabel *m_productLabel = nullptr;
    QLabel *m_noticeLabel = nullptr;
    QLabel *m_webLabel = nullptr;
    QLabel *m_mailLabel = nullptr;
};

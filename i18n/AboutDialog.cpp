#include "AboutDialog.h"

#include "ProductInfo.h"
#include "UiText.h"

#include <QDialogButtonBox>
#include <QFont>
#include <QLabel>
#include <QPixmap>
#include <QVBoxLayout>

namespace {

constexpr int UI_ABOUT_TITLE = 29; // "About Norvaplex ...."

const QString s_linkStyle = QStringLiteral(" style=\"text-decoration:none;\">");

void MakeLinkLabel(QLabel *label)
{
    label->setCursor(Qt::PointingHandCursor);
    label->setMouseTracking(true);
    label->setOpenExternalLinks(true);
    label->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
}

} // namespace

CAboutDialog::CAboutDialog(QWidget *parent)
    : QDialog(parent)
{
    CreateFrame();
    CreateTexts();
}

QString CAboutDialog::ProductLine()
{
    return QLatin1String(g_productName) + QLatin1String(g_productVersion);
}

QString CAboutDialog::NoticeText()
{
    return QStringLiteral("NAND and SPI flash programmer.\n"
                          "Back up every chip before you erase it.");
}

QString CAboutDialog::WebLinkHtml()
{
    const QString address = QLatin1String(g_productWebAddress);
    return QStringLiteral("<a href=") + address + s_linkStyle + address + QStringLiteral("</a>");
}

QString CAboutDialog::MailLinkHtml()
{
    const QString address = QLatin1String(g_productMailAddress);
    return QStringLiteral("<a href=mailto:") + address + s_linkStyle + address + QStringLiteral("</a>");
}

void CAboutDialog::CreateFrame()
{
    setWindowTitle(Text(UI_ABOUT_TITLE));
    setFixedSize(353, 164);
    setFont(QFont(QStringLiteral("MS Sans Serif"), 8, QFont::Normal));
    setSizeGripEnabled(true);
    setModal(true);

    m_buttonBox = new QDialogButtonBox(QDialogButtonBox::Ok, Qt::Vertical, this);
    m_buttonBox->setGeometry(240, 40, 81, 31);
    connect(m_buttonBox, &QDialogButtonBox::accepted, this, &CAboutDialog::accept);

    m_iconLabel = new QLabel(this);
    m_iconLabel->setObjectName(QStringLiteral("iconLabel"));
    m_iconLabel->setGeometry(10, 40, 31, 51);
    m_iconLabel->setPixmap(QPixmap(QStringLiteral(":/images/usbicon.png")));
}

void CAboutDialog::CreateTexts()
{
    m_textContainer = new QWidget(this);
    m_textContainer->setGeometry(56, 20, 181, 121);
    m_textLayout = new QVBoxLayout(m_textContainer);
    m_textLayout->setContentsMargins(0, 0, 0, 0);

    m_productLabel = new QLabel(ProductLine(), m_textContainer);
    m_productLabel->setObjectName(QStringLiteral("productLabel"));

    m_noticeLabel = new QLabel(NoticeText(), m_textContainer);
    m_noticeLabel->setObjectName(QStringLiteral("noticeLabel"));
    m_noticeLabel->setFrameShape(QFrame::NoFrame);
    m_noticeLabel->setWordWrap(true);

    m_webLabel = new QLabel(m_textContainer);
    m_webLabel->setObjectName(QStringLiteral("webLabel"));
    QFont webFont = m_webLabel->font();
    webFont.setPointSize(9);
    webFont.setWeight(QFont::Normal);
    webFont.setKerning(false);
    m_webLabel->setFont(webFont);
    MakeLinkLabel(m_webLabel);
    m_webLabel->setTextFormat(Qt::AutoText);
    m_webLabel->setScaledContents(false);
    m_webLabel->setText(WebLinkHtml());

    m_mailLabel = new QLabel(m_textContainer);
    m_mailLabel->setObjectName(QStringLiteral("mailLabel"));
    MakeLinkLabel(m_mailLabel);
    m_mailLabel->setContextMenuPolicy(Qt::DefaultContextMenu);
    m_mailLabel->setText(MailLinkHtml());

    m_textLayout->addWidget(m_productLabel);
    m_textLayout->addWidget(m_noticeLabel);
    m_textLayout->addWidget(m_webLabel);
    m_textLayout->addWidget(m_mailLabel);
}

#include "ui/formAbout.h"

#include "app/CommonVarsC.h"
#include "app/ProductConfig.h"
#include "ui/BrowserUtil.h"
#include "ui/GuiUtil.h"

#include <QPushButton>
#include <QTextEdit>
#include <QToolButton>

TTFormAbout::TTFormAbout(QWidget* parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("TTFormAbout"));
    setWindowTitle(QStringLiteral("About"));
    resize(MinClientWidth, MinClientHeight);

    Memo1 = new QTextEdit(this);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setGeometry(rect());
    Memo1->setReadOnly(true);
    Memo1->setFrameShape(QFrame::NoFrame);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Memo1->setTextInteractionFlags(Qt::NoTextInteraction);
    Memo1->setFocusPolicy(Qt::NoFocus);
    QFont font = Memo1->font();
    font.setPointSizeF(10.5);
    font.setBold(true);
    Memo1->setFont(font);
    const CommonVars vars;
    Memo1->setPlainText(QStringLiteral("%1 is an\nindependent creation of %2.\nClick below to find me.")
                            .arg(vars.SOFTWARENAME, QString::fromUtf8(ProductConfig::AuthorName)));
    // Centre every paragraph.
    QTextCursor all(Memo1->document());
    all.select(QTextCursor::Document);
    QTextBlockFormat centred;
    centred.setAlignment(Qt::AlignHCenter);
    all.mergeBlockFormat(centred);

    Button1 = new QPushButton(QString::fromUtf8(ProductConfig::WebSiteName), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(74, 80, 169, 21);
    connect(Button1, &QPushButton::clicked, this, &TTFormAbout::Button1Click);
    image("ImgFacebook", QStringLiteral("Facebook"), QStringLiteral(":/icons/facebook.png"), 40,
        &TTFormAbout::ImgFacebookClick);
    image("ImgTwitter", QStringLiteral("Twitter"), QStringLiteral(":/icons/twitter.png"), 144,
        &TTFormAbout::ImgTwitterClick);
    image("ImgYoutube", QStringLiteral("YouTube"), QStringLiteral(":/icons/youtube.png"), 240,
        &TTFormAbout::ImgYoutubeClick);
    FormCreate();
}

QToolButton* TTFormAbout::image(
    const char* name, const QString& title, const QString& icon, int left, void (TTFormAbout::*click)())
{
    auto* b = new QToolButton(this);
    b->setObjectName(QLatin1String(name));
    b->setIcon(QIcon(icon));
    b->setIconSize(QSize(32, 32));
    b->setAutoRaise(true);
    b->setGeometry(left, 128, 32, 32);
    b->setToolTip(title);
    b->setAccessibleName(title);
    b->setCursor(Qt::PointingHandCursor);
    connect(b, &QToolButton::clicked, this, click);
    return b;
}

void TTFormAbout::FormCreate()
{
    CenterFormOnScreen(this);
}

void TTFormAbout::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    Memo1->setGeometry(rect());
    EnsureMinClientSize(this, MinClientWidth, MinClientHeight);
}

void TTFormAbout::Button1Click()
{
    OpenWithShell(QString::fromUtf8(ProductConfig::WebSiteUrl));
}

void TTFormAbout::ImgFacebookClick()
{
    OpenWithShell(QString::fromUtf8(ProductConfig::FacebookUrl));
}

void TTFormAbout::ImgTwitterClick()
{
    OpenWithShell(QString::fromUtf8(ProductConfig::TwitterUrl));
}

void TTFormAbout::ImgYoutubeClick()
{
    OpenWithShell(QString::fromUtf8(ProductConfig::YoutubeUrl));
}

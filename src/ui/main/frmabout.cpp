#include "ui/main/frmabout.h"

#include "ui/designfonts.h"
#include "ui/main/artwork.h"
#include "ui/twips.h"

#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QTimer>

namespace tarv::ui {

namespace {

void setTextColour(QLabel *label, const QColor &colour)
{
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
}

} // namespace

FrmAbout::FrmAbout(QWidget *parent, std::chrono::milliseconds closeAfter)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint)
    , m_timer1(new QTimer(this))
{
    setObjectName(QStringLiteral("frmAbout"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowIcon(programIcon());
    setFixedSize(twips(7155), twips(4110));
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, Qt::white);
    setPalette(palette);
    setAutoFillBackground(true);

    QLabel *label3 = addLabel(
        QStringLiteral("Label3"), QStringLiteral("Tarvane 2020"), twipsRect(600, 120, 5775, 615));
    label3->setFont(designFont(DesignFace::Rounded, 27.75));
    label3->setAlignment(Qt::AlignCenter);
    setTextColour(label3, QColor(0, 192, 192));

    QLabel *label4 = addLabel(QStringLiteral("Label4"),
        QStringLiteral("Ver.1.1") + QString(31, u' ') + QStringLiteral("Data Acquisition Solution"),
        twipsRect(600, 840, 5775, 255));
    label4->setFont(designFont(DesignFace::Rounded, 12));

    addLabel(QStringLiteral("Label1"), QStringLiteral("Designed & Developed by:"),
        twipsRect(840, 1320, 5415, 375));

    QLabel *label2 = addLabel(QStringLiteral("Label2"),
        QStringLiteral("Tarvane Instrumentation Works"), twipsRect(840, 1560, 5415, 375));
    label2->setFont(designFont(DesignFace::Rounded, 15.75));
    setTextColour(label2, QColor(0, 0, 192));

    QLabel *image1 = addLabel(QStringLiteral("Image1"), QString(), twipsRect(0, 2040, 4785, 1770));
    image1->setPixmap(aboutPicture());
    image1->setScaledContents(true);

    QLabel *label5 = addLabel(QStringLiteral("Label5"),
        QStringLiteral("www.tarvane.example  -  support@tarvane.example"),
        twipsRect(600, 3840, 5775, 255));
    label5->setAlignment(Qt::AlignCenter);

    centreOnScreen();

    m_timer1->setObjectName(QStringLiteral("Timer1"));
    m_timer1->setSingleShot(true);
    connect(m_timer1, &QTimer::timeout, this, &FrmAbout::tick);
    m_timer1->start(closeAfter);
}

void FrmAbout::tick()
{
    close();
}

QLabel *FrmAbout::addLabel(const QString &name, const QString &text, const QRect &geometry)
{
    auto *label = new QLabel(this);
    label->setObjectName(name);
    // Plain text: the ampersand of the credit heading is a character, not a mnemonic.
    label->setTextFormat(Qt::PlainText);
    label->setText(text);
    label->setGeometry(geometry);
    return label;
}

void FrmAbout::centreOnScreen()
{
    const QScreen *screen
        = parentWidget() ? parentWidget()->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    QRect frame(QPoint(), size());
    frame.moveCenter(screen->availableGeometry().center());
    move(frame.topLeft());
}

} // namespace tarv::ui

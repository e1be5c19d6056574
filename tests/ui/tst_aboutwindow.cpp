#include "ui/main/frmabout.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPointer>
#include <QScreen>
#include <QTest>
#include <QTimer>

using namespace std::chrono_literals;
using tarv::ui::FrmAbout;

class TestAboutWindow : public QObject
{
    Q_OBJECT

private slots:
    void panel();
    void closesAndIsDiscardedByItsTimer();
    void tickEndsAModalShowing();
};

void TestAboutWindow::panel()
{
    FrmAbout about;
    QVERIFY2(about.windowFlags().testFlag(Qt::FramelessWindowHint), "no title bar");
    const QPoint centre = QGuiApplication::primaryScreen()->availableGeometry().center();
    QVERIFY2((about.geometry().center() - centre).manhattanLength() <= 2, "centred on the screen");

    auto text = [&about](const char *name) {
        const auto *label = about.findChild<QLabel *>(QString::fromLatin1(name));
        return label ? label->text() : QStringLiteral("<missing %1>").arg(name);
    };
    QCOMPARE(text("Label3"), QStringLiteral("Tarvane 2020"));
    QCOMPARE(text("Label4"),
        QStringLiteral("Ver.1.1") + QString(31, u' ')
            + QStringLiteral("Data Acquisition Solution"));
    QCOMPARE(text("Label1"), QStringLiteral("Designed & Developed by:"));
    const auto *image = about.findChild<QLabel *>(QStringLiteral("Image1"));
    QVERIFY(image);
    QVERIFY2(!image->pixmap().isNull(), "the picture is built in");
}

void TestAboutWindow::closesAndIsDiscardedByItsTimer()
{
    QPointer<FrmAbout> about = new FrmAbout(nullptr, 50ms);
    about->show();
    auto *timer = about->findChild<QTimer *>(QStringLiteral("Timer1"));
    QVERIFY(timer);
    QCOMPARE(timer->interval(), 50);
    // Due at once: what its tick does is the point, not the wait.
    timer->start(0);
    QTRY_VERIFY_WITH_TIMEOUT(about.isNull(), 5000);
}

void TestAboutWindow::tickEndsAModalShowing()
{
    QPointer<FrmAbout> about = new FrmAbout(nullptr, 1h);
    QTimer::singleShot(0, about, [&about] { about->tick(); });
    about->exec();
    QVERIFY2(about.isNull(), "exec returns and the window is gone");
}

QTEST_MAIN(TestAboutWindow)
#include "tst_aboutwindow.moc"

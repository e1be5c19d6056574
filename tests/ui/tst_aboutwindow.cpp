#include "ui/main/frmabout.h"
#include "ui/twips.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPointer>
#include <QScreen>
#include <QTest>
#include <QTimer>

using namespace std::chrono_literals;
using tarv::ui::FrmAbout;
using tarv::ui::twipsRect;

class TestAboutWindow : public QObject
{
    Q_OBJECT

private slots:
    void panelAsDesigned();
    void labelsAsDesigned_data();
    void labelsAsDesigned();
    void closesAndIsDiscardedByItsTimer();
    void tickEndsAModalShowing();
};

void TestAboutWindow::panelAsDesigned()
{
    FrmAbout about;
    QVERIFY(about.isWindow());
    QVERIFY2(about.windowFlags().testFlag(Qt::FramelessWindowHint), "no title bar");
    QVERIFY(about.windowTitle().isEmpty());
    QCOMPARE(about.size(), QSize(tarv::ui::twips(7155), tarv::ui::twips(4110)));
    QCOMPARE(about.minimumSize(), about.maximumSize());
    QCOMPARE(about.palette().color(QPalette::Window), QColor(Qt::white));
    QVERIFY(about.autoFillBackground());
    QVERIFY(about.testAttribute(Qt::WA_DeleteOnClose));

    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    QVERIFY2(qAbs(about.geometry().center().x() - screen.center().x()) <= 1
            && qAbs(about.geometry().center().y() - screen.center().y()) <= 1,
        "centred on the screen");

    auto *image = about.findChild<QLabel *>(QStringLiteral("Image1"));
    QVERIFY(image);
    QCOMPARE(image->geometry(), twipsRect(0, 2040, 4785, 1770));
    QVERIFY(image->hasScaledContents());
    QCOMPARE(image->pixmap().size(), QSize(583, 238));

    auto *timer = about.findChild<QTimer *>(QStringLiteral("Timer1"));
    QVERIFY(timer);
    QCOMPARE(timer->interval(), 2000);
    QVERIFY(timer->isActive());
    QVERIFY(timer->isSingleShot());
}

void TestAboutWindow::labelsAsDesigned_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text"); // empty: the maker's own wording, any
    QTest::addColumn<QRect>("twipsBox");
    QTest::addColumn<QColor>("colour"); // invalid: default
    QTest::addColumn<qreal>("points"); // 0: default font

    QTest::newRow("Label3") << "Label3"
                            << "Tarvane 2020" << QRect(600, 120, 5775, 615) << QColor(0, 192, 192)
                            << 27.75;
    QTest::newRow("Label4") << "Label4"
                            << "Ver.1.1" + QString(31, u' ') + "Data Acquisition Solution"
                            << QRect(600, 840, 5775, 255) << QColor() << 12.0;
    QTest::newRow("Label1") << "Label1"
                            << "Designed & Developed by:" << QRect(840, 1320, 5415, 375) << QColor()
                            << 0.0;
    QTest::newRow("Label2") << "Label2" << QString() << QRect(840, 1560, 5415, 375)
                            << QColor(0, 0, 192) << 15.75;
    QTest::newRow("Label5") << "Label5" << QString() << QRect(600, 3840, 5775, 255) << QColor()
                            << 0.0;
}

void TestAboutWindow::labelsAsDesigned()
{
    QFETCH(QString, name);
    QFETCH(QString, text);
    QFETCH(QRect, twipsBox);
    QFETCH(QColor, colour);
    QFETCH(qreal, points);
    FrmAbout about;
    auto *label = about.findChild<QLabel *>(name);
    QVERIFY(label);
    if (text.isEmpty())
        QVERIFY2(!label->text().isEmpty(), "the maker's line is there");
    else
        QCOMPARE(label->text(), text);
    QCOMPARE(label->geometry(),
        twipsRect(twipsBox.x(), twipsBox.y(), twipsBox.width(), twipsBox.height()));
    if (colour.isValid())
        QCOMPARE(label->palette().color(QPalette::WindowText), colour);
    if (points > 0) {
        QCOMPARE(label->font().pointSizeF(), points);
        QVERIFY(label->font().families().contains(QStringLiteral("Arial Rounded MT Bold")));
    }
}

void TestAboutWindow::closesAndIsDiscardedByItsTimer()
{
    QPointer<FrmAbout> about = new FrmAbout(nullptr, 50ms);
    about->show();
    auto *timer = about->findChild<QTimer *>(QStringLiteral("Timer1"));
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

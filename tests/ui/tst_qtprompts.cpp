#include "ui/main/qtprompts.h"

#include <QApplication>
#include <QColorDialog>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>

using tarv::core::FileDialogOptions;
using tarv::core::PromptIcon;
using tarv::ui::QtPrompts;

namespace {

// Answers the modal dialog that the call about to be made opens, from inside its
// own event loop.
template<typename Dialog> void whenShown(std::function<void(Dialog *)> answer)
{
    QTimer::singleShot(0, qApp, [answer] {
        auto *dialog = qobject_cast<Dialog *>(QApplication::activeModalWidget());
        QVERIFY2(dialog, "the expected dialog is open and modal");
        answer(dialog);
    });
}

} // namespace

class TestQtPrompts : public QObject
{
    Q_OBJECT

private slots:
    void messageIsModalWithOneButton_data();
    void messageIsModalWithOneButton();
    void notifyDoesNotBlock();
    void fileDialogsTakeFilterAndSuffix();
    void cancelledChoicesGiveNothing();
    void colourComesBackAsRgb();
};

void TestQtPrompts::messageIsModalWithOneButton_data()
{
    QTest::addColumn<PromptIcon>("icon");
    QTest::addColumn<QMessageBox::Icon>("shown");
    QTest::newRow("error") << PromptIcon::Error << QMessageBox::Critical;
    QTest::newRow("warning") << PromptIcon::Warning << QMessageBox::Warning;
    QTest::newRow("information") << PromptIcon::Information << QMessageBox::Information;
    QTest::newRow("none") << PromptIcon::None << QMessageBox::NoIcon;
}

void TestQtPrompts::messageIsModalWithOneButton()
{
    QFETCH(PromptIcon, icon);
    QFETCH(QMessageBox::Icon, shown);
    QWidget owner;
    owner.show();
    QtPrompts prompts(&owner);
    bool answered = false;
    whenShown<QMessageBox>([&](QMessageBox *box) {
        QCOMPARE(box->windowTitle(), QStringLiteral("Tarvane2020"));
        QCOMPARE(box->text(), QStringLiteral("Division by zero2"));
        QCOMPARE(box->icon(), shown);
        QCOMPARE(box->parentWidget(), &owner);
        QCOMPARE(box->buttons().size(), 1);
        QCOMPARE(box->standardButton(box->buttons().first()), QMessageBox::Ok);
        answered = true;
        box->buttons().first()->click();
    });
    prompts.message(QStringLiteral("Division by zero2"), QStringLiteral("Tarvane2020"), icon);
    QVERIFY2(answered, "message() returns only after the box was answered");
}

void TestQtPrompts::notifyDoesNotBlock()
{
    QtPrompts prompts;
    prompts.notify(
        QStringLiteral("Logging stopped"), QStringLiteral("Tarvane2020"), PromptIcon::Warning);
    QMessageBox *box = nullptr;
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (auto *b = qobject_cast<QMessageBox *>(w); b && b->isVisible())
            box = b;
    }
    QVERIFY2(box, "the box is up while the caller goes on");
    QVERIFY(!box->isModal());
    QCOMPARE(box->text(), QStringLiteral("Logging stopped"));
    QCOMPARE(box->icon(), QMessageBox::Warning);
    QPointer<QMessageBox> alive(box);
    box->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY2(alive.isNull(), "a closed notification is discarded");
}

void TestQtPrompts::fileDialogsTakeFilterAndSuffix()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QtPrompts prompts;
    const QString typed = dir.filePath(QStringLiteral("bench"));
    whenShown<QFileDialog>([&](QFileDialog *dialog) {
        QCOMPARE(dialog->acceptMode(), QFileDialog::AcceptSave);
        QCOMPARE(dialog->nameFilters(), QStringList {QStringLiteral("Config Files (*.cfg)")});
        QCOMPARE(dialog->defaultSuffix(), QStringLiteral("cfg"));
        dialog->selectFile(typed);
        static_cast<QDialog *>(dialog)->accept();
    });
    const auto saved = prompts.saveFileName(
        {QStringLiteral("Config Files (*.cfg)"), QStringLiteral("cfg"), QString()});
    QCOMPARE(saved, std::optional<QString>(typed + QStringLiteral(".cfg")));

    QFile existing(dir.filePath(QStringLiteral("old.cfg")));
    QVERIFY(existing.open(QIODevice::WriteOnly));
    existing.close();
    whenShown<QFileDialog>([&](QFileDialog *dialog) {
        QCOMPARE(dialog->acceptMode(), QFileDialog::AcceptOpen);
        QCOMPARE(dialog->fileMode(), QFileDialog::ExistingFile);
        dialog->selectFile(existing.fileName());
        static_cast<QDialog *>(dialog)->accept();
    });
    QCOMPARE(prompts.openFileName({QStringLiteral("Config Files (*.cfg)"), QString(), QString()}),
        std::optional<QString>(existing.fileName()));
}

void TestQtPrompts::cancelledChoicesGiveNothing()
{
    QtPrompts prompts;
    whenShown<QFileDialog>([](QFileDialog *dialog) { dialog->reject(); });
    QCOMPARE(prompts.openFileName({}), std::nullopt);
    whenShown<QColorDialog>([](QColorDialog *dialog) { dialog->reject(); });
    QCOMPARE(prompts.chooseColor(), std::nullopt);
}

void TestQtPrompts::colourComesBackAsRgb()
{
    QtPrompts prompts;
    whenShown<QColorDialog>([](QColorDialog *dialog) {
        dialog->setCurrentColor(QColor(0x12, 0xC0, 0xFE));
        static_cast<QDialog *>(dialog)->accept();
    });
    QCOMPARE(prompts.chooseColor(), std::optional<std::uint32_t>(0x12C0FEu));
}

QTEST_MAIN(TestQtPrompts)
#include "tst_qtprompts.moc"

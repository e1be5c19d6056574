#include "ui/main/qtprompts.h"

#include <QApplication>
#include <QColorDialog>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>

using tarv::core::PromptIcon;
using tarv::ui::QtPrompts;

namespace {

// Answers the modal dialog that the call about to be made opens, from inside its
// own event loop. A check that fails there still closes the dialog, so the call
// returns and the failure shows instead of a hang.
template<typename Dialog> void whenShown(std::function<void(Dialog *)> answer)
{
    QTimer::singleShot(0, qApp, [answer] {
        const QPointer<QDialog> modal = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        const auto unblock = qScopeGuard([&modal] {
            if (modal && modal->isVisible())
                modal->reject();
        });
        auto *dialog = qobject_cast<Dialog *>(modal.data());
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
    void choosers();
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
    QWidget owner;
    QtPrompts prompts(&owner);
    bool answered = false;
    whenShown<QMessageBox>([&](QMessageBox *box) {
        QCOMPARE(box->windowTitle(), QStringLiteral("Tarvane2020"));
        QCOMPARE(box->text(), QStringLiteral("Division by zero2"));
        QTEST(box->icon(), "shown");
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
    QWidget owner;
    QtPrompts prompts(&owner);
    prompts.notify(
        QStringLiteral("Logging stopped"), QStringLiteral("Tarvane2020"), PromptIcon::Warning);
    const QPointer<QMessageBox> box = owner.findChild<QMessageBox *>();
    QVERIFY2(box && box->isVisible(), "the box is up while the caller goes on");
    QVERIFY(!box->isModal());
    QCOMPARE(box->text(), QStringLiteral("Logging stopped"));
    box->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY2(box.isNull(), "a closed notification is discarded");
}

void TestQtPrompts::choosers()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    // The dialog decides whether a typed name is a folder by looking in the working
    // directory; an empty one keeps the outcome the same wherever the test runs.
    const QString before = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir.path()));
    const auto restore = qScopeGuard([&before] { QDir::setCurrent(before); });
    QtPrompts prompts;
    const QString typed = dir.filePath(QStringLiteral("bench"));
    whenShown<QFileDialog>([&](QFileDialog *dialog) {
        QCOMPARE(dialog->acceptMode(), QFileDialog::AcceptSave);
        QCOMPARE(dialog->nameFilters(), QStringList {QStringLiteral("Config Files (*.cfg)")});
        dialog->selectFile(typed);
        static_cast<QDialog *>(dialog)->accept();
    });
    QCOMPARE(
        prompts.saveFileName({QStringLiteral("Config Files (*.cfg)"), QStringLiteral("cfg"), {}}),
        std::optional<QString>(typed + QStringLiteral(".cfg")));

    // Opening takes only a file that is there; cancelled, there is nothing.
    whenShown<QFileDialog>([](QFileDialog *dialog) {
        QCOMPARE(dialog->acceptMode(), QFileDialog::AcceptOpen);
        QCOMPARE(dialog->fileMode(), QFileDialog::ExistingFile);
        dialog->reject();
    });
    QCOMPARE(prompts.openFileName({}), std::nullopt);

    whenShown<QColorDialog>([](QColorDialog *dialog) {
        dialog->setCurrentColor(QColor(0x12, 0xC0, 0xFE));
        static_cast<QDialog *>(dialog)->accept();
    });
    QCOMPARE(prompts.chooseColor(), std::optional<std::uint32_t>(0x12C0FEu));
    whenShown<QColorDialog>([](QColorDialog *dialog) { dialog->reject(); });
    QCOMPARE(prompts.chooseColor(), std::nullopt);
}

QTEST_MAIN(TestQtPrompts)
#include "tst_qtprompts.moc"

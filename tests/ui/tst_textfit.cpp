// Every window's texts fit their controls at the fonts the program runs with. A new
// window is covered once its menu item is in the list below.
#include "logging/frmsave.h"
#include "logging/logger.h"
#include "support/mainwindowrig.h"
#include "ui/config/frmcalib.h"
#include "ui/designfonts.h"
#include "ui/main/frmabout.h"
#include "ui/main/frmstatus.h"
#include "ui/main/frmviewanalogdata.h"
#include "ui/main/mdidaq.h"
#include "ui/trend/frmtrend.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QRadioButton>
#include <QStyleOptionButton>
#include <QStyleOptionComboBox>
#include <QStyleOptionGroupBox>
#include <QTest>

using tarv::testsupport::MainWindowRig;

namespace {

QString problem(const QWidget *w, const QString &text, int needs, int has)
{
    return QStringLiteral("%1 \"%2\": needs %3 px, has %4")
        .arg(w->objectName(), text)
        .arg(needs)
        .arg(has);
}

void checkLabel(const QLabel *label, QStringList &out)
{
    if (label->text().isEmpty() || label->textFormat() == Qt::RichText)
        return;
    const QRect room = label->contentsRect().adjusted(
        label->margin(), label->margin(), -label->margin(), -label->margin());
    const QFontMetrics fm = label->fontMetrics();
    if (label->wordWrap()) {
        const int needs = label->heightForWidth(label->width());
        if (needs > label->height())
            out += problem(label, label->text(), needs, label->height()) + QStringLiteral(" high");
        return;
    }
    const int needs = fm.horizontalAdvance(label->text());
    if (needs > room.width() || fm.height() > room.height() + 1)
        out += problem(label, label->text(), needs, room.width());
}

void checkButton(const QAbstractButton *button, QStringList &out)
{
    if (button->text().isEmpty())
        return;
    QStyleOptionButton option;
    option.initFrom(button);
    option.text = button->text();
    QStyle::SubElement contents = QStyle::SE_PushButtonContents;
    if (qobject_cast<const QCheckBox *>(button))
        contents = QStyle::SE_CheckBoxContents;
    else if (qobject_cast<const QRadioButton *>(button))
        contents = QStyle::SE_RadioButtonContents;
    const QRect room = button->style()->subElementRect(contents, &option, button);
    const int needs = button->fontMetrics().size(Qt::TextShowMnemonic, button->text()).width();
    if (needs > room.width())
        out += problem(button, button->text(), needs, room.width());
}

void checkGroupBox(const QGroupBox *box, QStringList &out)
{
    if (box->title().isEmpty())
        return;
    QStyleOptionGroupBox option;
    option.initFrom(box);
    option.text = box->title();
    option.lineWidth = 1;
    option.textAlignment = box->alignment();
    option.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
    const QRect label
        = box->style()->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, box);
    if (!box->rect().contains(label))
        out += problem(box, box->title(), label.right() + 1, box->width());
}

void checkCombo(const QComboBox *combo, QStringList &out)
{
    QStyleOptionComboBox option;
    option.initFrom(combo);
    option.editable = combo->isEditable();
    const QRect room = combo->style()->subControlRect(
        QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, combo);
    for (int i = 0; i < combo->count(); ++i) {
        const int needs = combo->fontMetrics().horizontalAdvance(combo->itemText(i));
        if (needs > room.width())
            out += problem(combo, combo->itemText(i), needs, room.width());
    }
}

QStringList clippedTexts(const QWidget &window)
{
    QStringList out;
    for (const QWidget *w : window.findChildren<QWidget *>()) {
        if (!w->isVisibleTo(&window))
            continue;
        if (auto *label = qobject_cast<const QLabel *>(w))
            checkLabel(label, out);
        else if (auto *button = qobject_cast<const QAbstractButton *>(w))
            checkButton(button, out);
        else if (auto *box = qobject_cast<const QGroupBox *>(w))
            checkGroupBox(box, out);
        else if (auto *combo = qobject_cast<const QComboBox *>(w))
            checkCombo(combo, out);
    }
    return out;
}

// Runs the window's refresh once, so live texts replace the design texts.
void tickOnce(QWidget *w)
{
    if (auto *status = qobject_cast<tarv::ui::FrmStatus *>(w))
        status->tick();
    else if (auto *analog = qobject_cast<tarv::ui::FrmViewAnalogData *>(w))
        analog->tick();
    else if (auto *trend = qobject_cast<tarv::ui::FrmTrend *>(w))
        trend->tick();
    else if (auto *calib = qobject_cast<tarv::ui::config::FrmCalib *>(w))
        calib->tick();
}

} // namespace

class TestTextFit : public QObject
{
    Q_OBJECT

private slots:
    void everyWindowsTextFits();
};

void TestTextFit::everyWindowsTextFits()
{
    // The desktop's default face first, then what the program makes of it.
    QApplication::setFont(QFont(QStringLiteral("Sans Serif"), 9));
    tarv::ui::useDesignFonts();
    MainWindowRig rig;
    // Texts that the windows show once live values arrive, at their widest.
    rig.state.ambientTemp = -23.45f;
    for (int c = 0; c < 8; ++c)
        rig.state.channelValues[c] = -1234.56f;
    tarv::ui::MdiDaq &window = rig.make();
    window.show();
    QStringList clipped;
    for (const char *item : {"ViewStatus", "ViewAnalogData", "ViewDigitalData", "ViewTrend",
             "TaskManager", "OptionsCardConfig", "OptionsCardComm", "OptionsCalibrate"}) {
        QMdiSubWindow *frame = window.openChild(QLatin1String(item));
        QVERIFY2(frame, item);
        tickOnce(frame->widget());
        clipped += clippedTexts(*frame->widget());
    }
    tarv::ui::FrmAbout about(&window);
    clipped += clippedTexts(about);
    tarv::logging::FrmSave save(rig.state, window.logger(), rig.prompts, &window);
    clipped += clippedTexts(save);
    QVERIFY2(clipped.isEmpty(), qPrintable(clipped.join(u'\n')));
}

QTEST_MAIN(TestTextFit)
#include "tst_textfit.moc"

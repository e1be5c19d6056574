#include "ui/main/frmalarms.h"

#include "core/inifile.h"
#include "core/numberformat.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QScrollBar>
#include <QSettings>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QVBoxLayout>

#include <array>
#include <set>

namespace tarv::ui {

namespace {

// Column c holds key Keys[c] of [alarm.N] as typed; the first holds N. An empty cell
// is an absent key, so the reader's default applies.
constexpr std::array<const char *, 11> Keys {"", "name", "channel", "high", "low", "deadband",
    "on_delay", "off_delay", "on_bad", "output", "active_state"};
constexpr std::array<const char *, 11> Headers {"No.", "Name", "Channel", "High", "Low", "Deadband",
    "On delay", "Off delay", "On bad", "Output", "Active state"};

QStringList ruleTexts(const alarms::AlarmRule &rule)
{
    const auto number = [](std::optional<double> value) {
        return value ? QString::fromLatin1(core::numberText(*value)) : QString();
    };
    return {QString::number(rule.number), rule.name, QString::number(rule.channel),
        number(rule.high), number(rule.low), number(rule.deadband), number(rule.onDelay),
        number(rule.offDelay), alarms::onBadText(rule.onBad),
        rule.output ? QString::number(*rule.output) : QString(),
        rule.activeState ? QStringLiteral("on") : QStringLiteral("off")};
}

QPushButton *addButton(QBoxLayout *row, const QString &name, const QString &caption)
{
    auto *button = new QPushButton(caption, row->parentWidget());
    button->setObjectName(name);
    button->setAutoDefault(false);
    row->addWidget(button);
    return button;
}

} // namespace

FrmAlarms::FrmAlarms(
    const core::AcquisitionState &state, core::Prompts &prompts, Apply apply, QWidget *parent)
    : QDialog(parent)
    , m_state(state)
    , m_prompts(prompts)
    , m_apply(std::move(apply))
{
    setObjectName(QStringLiteral("frmAlarms"));
    setWindowTitle(QStringLiteral("Alarms"));
    const core::IniFile ini = core::IniFile::read(state.appPath);
    QStringList problems;
    if (!ini.readError().isEmpty())
        problems << ini.readError();
    const alarms::AlarmSettings settings = alarms::readAlarmSettings(ini, state, problems);

    auto *layout = new QVBoxLayout(this);
    const auto addNote = [&](const QString &name, const QString &text) {
        auto *note = new QLabel(text, this);
        note->setObjectName(name);
        note->setTextFormat(Qt::PlainText);
        note->setWordWrap(true);
        layout->addWidget(note);
    };
    // A rule the reader refused is not in the table; OK would drop it from the file.
    if (!problems.isEmpty())
        addNote(QStringLiteral("lblProblems"),
            QStringLiteral("tarvane.ini as read, with these problems; OK writes only the rules "
                           "shown:\n")
                + problems.join(u'\n'));
    m_grdRules = new QTableWidget(0, int(Keys.size()), this);
    m_grdRules->setObjectName(QStringLiteral("grdRules"));
    QStringList headers;
    for (const char *header : Headers)
        headers << QString::fromLatin1(header);
    m_grdRules->setHorizontalHeaderLabels(headers);
    m_grdRules->verticalHeader()->hide();
    m_grdRules->setSelectionBehavior(QAbstractItemView::SelectRows);
    for (const alarms::AlarmRule &rule : settings.rules)
        addRow(ruleTexts(rule));
    m_grdRules->resizeColumnsToContents();
    m_grdRules->setMinimumWidth(m_grdRules->horizontalHeader()->length()
        + m_grdRules->verticalScrollBar()->sizeHint().width() + 2 * m_grdRules->frameWidth());
    layout->addWidget(m_grdRules);
    addNote(QStringLiteral("lblHint"),
        QStringLiteral("No. 1 to %1. Channel 0 to 7. High, low and deadband in the channel's "
                       "units, at least one limit; delays in seconds. On bad: set, clear or "
                       "hold. Output: a line configured as an output, or empty for none; "
                       "active state: on or off.")
            .arg(alarms::MaxRules));

    auto *buttons = new QHBoxLayout;
    layout->addLayout(buttons);
    connect(addButton(buttons, QStringLiteral("cmdAdd"), QStringLiteral("Add")),
        &QPushButton::clicked, this, &FrmAlarms::onAdd);
    connect(addButton(buttons, QStringLiteral("cmdEdit"), QStringLiteral("Edit")),
        &QPushButton::clicked, this, [this] {
            if (QTableWidgetItem *item = m_grdRules->currentItem())
                m_grdRules->editItem(item);
        });
    connect(addButton(buttons, QStringLiteral("cmdRemove"), QStringLiteral("Remove")),
        &QPushButton::clicked, this, [this] { m_grdRules->removeRow(m_grdRules->currentRow()); });
    buttons->addStretch();

    auto *form = new QFormLayout;
    layout->addLayout(form);
    m_txtSafeState = new QLineEdit(
        QString::number(settings.safeState, 16).toUpper().rightJustified(4, u'0'), this);
    m_txtSafeState->setObjectName(QStringLiteral("txtSafeState"));
    m_txtSafeState->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("[0-9A-Fa-f]{0,4}")), m_txtSafeState));
    m_txtSafeState->setToolTip(QStringLiteral("Bit k is line k's state when the task or the "
                                              "program stops and when the card comes back, for "
                                              "the lines the rules drive"));
    form->addRow(QStringLiteral("Safe state (hexadecimal):"), m_txtSafeState);

    auto *box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    box->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("cmdOk"));
    box->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("cmdCancel"));
    layout->addWidget(box);
    connect(box, &QDialogButtonBox::accepted, this, &FrmAlarms::onOk);
    connect(box, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

void FrmAlarms::addRow(const QStringList &texts)
{
    const int row = m_grdRules->rowCount();
    m_grdRules->insertRow(row);
    for (int c = 0; c < texts.size(); ++c)
        m_grdRules->setItem(row, c, new QTableWidgetItem(texts[c]));
}

void FrmAlarms::onAdd()
{
    std::set<int> used;
    for (int row = 0; row < m_grdRules->rowCount(); ++row)
        used.insert(m_grdRules->item(row, 0)->text().trimmed().toInt());
    alarms::AlarmRule rule;
    rule.number = 1;
    while (used.contains(rule.number))
        ++rule.number;
    rule.name = QStringLiteral("Alarm %1").arg(rule.number);
    addRow(ruleTexts(rule));
    // Its limits are what it still needs.
    m_grdRules->setCurrentCell(m_grdRules->rowCount() - 1, 3);
}

std::optional<alarms::AlarmSettings> FrmAlarms::checked(QStringList &problems) const
{
    QTemporaryDir dir;
    if (!dir.isValid()) {
        problems << QStringLiteral("no folder to check the rules in: %1").arg(dir.errorString());
        return std::nullopt;
    }
    {
        QSettings ini(core::IniFile::pathIn(dir.path()), QSettings::IniFormat);
        ini.setValue(QStringLiteral("outputs/safe_state"), m_txtSafeState->text());
        std::set<int> numbers;
        for (int row = 0; row < m_grdRules->rowCount(); ++row) {
            const QString typed = m_grdRules->item(row, 0)->text().trimmed();
            bool ok = false;
            const int number = typed.toInt(&ok);
            if (!ok || !numbers.insert(number).second) {
                problems << QStringLiteral("rule number \"%1\" is %2")
                                .arg(typed,
                                    ok ? QStringLiteral("used twice")
                                       : QStringLiteral("not a number"));
                continue;
            }
            ini.beginGroup(QStringLiteral("alarm.%1").arg(number));
            for (std::size_t c = 1; c < Keys.size(); ++c)
                if (const QString text = m_grdRules->item(row, int(c))->text().trimmed();
                    !text.isEmpty())
                    ini.setValue(QLatin1String(Keys[c]), text);
            ini.endGroup();
        }
        ini.sync();
        if (ini.status() != QSettings::NoError) {
            problems << QStringLiteral("%1 cannot be written").arg(ini.fileName());
            return std::nullopt;
        }
    }
    alarms::AlarmSettings settings
        = alarms::readAlarmSettings(core::IniFile::read(dir.path()), m_state, problems);
    if (!problems.isEmpty())
        return std::nullopt;
    return settings;
}

void FrmAlarms::onOk()
{
    QStringList problems;
    const std::optional<alarms::AlarmSettings> settings = checked(problems);
    if (!settings) {
        m_prompts.message(QStringLiteral("The rules were not saved:\n") + problems.join(u'\n'),
            windowTitle(), core::PromptIcon::Warning);
        return;
    }
    if (QString error; !alarms::writeAlarmSettings(m_state.appPath, *settings, &error)) {
        m_prompts.message(error, windowTitle(), core::PromptIcon::Error);
        return;
    }
    if (m_apply)
        m_apply(*settings);
    accept();
}

} // namespace tarv::ui

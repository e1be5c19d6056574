#include "ui/main/frmpublishing.h"

#include "publish/mqttconnection.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace tarv::ui {

FrmPublishing::FrmPublishing(
    const QString &dir, core::Prompts &prompts, Apply apply, QWidget *parent)
    : QDialog(parent)
    , m_dir(dir)
    , m_prompts(prompts)
    , m_apply(std::move(apply))
{
    setObjectName(QStringLiteral("frmPublishing"));
    setWindowTitle(QStringLiteral("Publishing"));
    const publish::PublishSettingsRead read = publish::readPublishSettings(dir);
    const publish::PublishSettings &s = read.settings;

    auto *layout = new QVBoxLayout(this);
    m_form = new QFormLayout;
    layout->addLayout(m_form);
    m_chkEnabled = new QCheckBox(QStringLiteral("Publish live values to an MQTT broker"), this);
    m_chkEnabled->setObjectName(QStringLiteral("chkEnabled"));
    m_chkEnabled->setChecked(s.enabled);
    m_form->addRow(m_chkEnabled);
    m_txtHost = addText(QStringLiteral("txtHost"), QStringLiteral("Broker host:"), s.host);
    m_txtPort = new QSpinBox(this);
    m_txtPort->setObjectName(QStringLiteral("txtPort"));
    m_txtPort->setRange(1, 65535);
    m_txtPort->setValue(s.port);
    m_form->addRow(QStringLiteral("Port:"), m_txtPort);
    m_txtClientId
        = addText(QStringLiteral("txtClientId"), QStringLiteral("Client ID:"), s.clientId);
    m_txtClientId->setPlaceholderText(QStringLiteral("generated"));
    m_txtPrefix
        = addText(QStringLiteral("txtPrefix"), QStringLiteral("Topic prefix:"), s.topicPrefix);
    m_txtPrefix->setPlaceholderText(s.prefix());
    m_txtUser = addText(QStringLiteral("txtUser"), QStringLiteral("User name:"), s.username);
    m_txtPasswordFile = addText(
        QStringLiteral("txtPasswordFile"), QStringLiteral("Password file:"), s.passwordFile);
    m_txtCaFile = addText(QStringLiteral("txtCaFile"), QStringLiteral("CA file (TLS):"), s.caFile);
    m_txtCertFile
        = addText(QStringLiteral("txtCertFile"), QStringLiteral("Client certificate:"), s.certFile);
    m_txtKeyFile = addText(QStringLiteral("txtKeyFile"), QStringLiteral("Client key:"), s.keyFile);
    m_cmbQos = new QComboBox(this);
    m_cmbQos->setObjectName(QStringLiteral("cmbQos"));
    m_cmbQos->addItems({QStringLiteral("0: at most once"), QStringLiteral("1: at least once")});
    m_cmbQos->setCurrentIndex(s.qos);
    m_form->addRow(QStringLiteral("Quality of service:"), m_cmbQos);
    m_txtKeepalive = new QSpinBox(this);
    m_txtKeepalive->setObjectName(QStringLiteral("txtKeepalive"));
    m_txtKeepalive->setRange(5, 65535);
    m_txtKeepalive->setSuffix(QStringLiteral(" s"));
    m_txtKeepalive->setValue(s.keepalive);
    m_form->addRow(QStringLiteral("Keep-alive:"), m_txtKeepalive);
    m_chkCommands = new QCheckBox(
        QStringLiteral("Let the broker switch outputs (only with broker authentication)"), this);
    m_chkCommands->setObjectName(QStringLiteral("chkCommands"));
    m_chkCommands->setChecked(s.commands);
    m_form->addRow(m_chkCommands);

    m_cmdTest = new QPushButton(QStringLiteral("Test connection"), this);
    m_cmdTest->setObjectName(QStringLiteral("cmdTest"));
    m_cmdTest->setAutoDefault(false);
    m_lblTest = new QLabel(this);
    m_lblTest->setObjectName(QStringLiteral("lblTest"));
    m_lblTest->setWordWrap(true);
    m_lblTest->setTextFormat(Qt::PlainText);
    m_form->addRow(m_cmdTest, m_lblTest);
    connect(m_cmdTest, &QPushButton::clicked, this, &FrmPublishing::testConnection);
    m_probe = new publish::MqttConnection(this);
    connect(m_probe, &publish::MqttConnection::probed, this, [this](const QString &reason) {
        m_lblTest->setText(reason.isEmpty()
                ? QStringLiteral("Connected to %1: the broker accepted these settings.")
                      .arg(m_probedBroker)
                : QStringLiteral("Cannot connect to %1: %2.").arg(m_probedBroker, reason));
        m_cmdTest->setEnabled(true);
    });

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &FrmPublishing::onOk);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

QLineEdit *FrmPublishing::addText(const QString &name, const QString &label, const QString &value)
{
    auto *edit = new QLineEdit(value, this);
    edit->setObjectName(name);
    m_form->addRow(label, edit);
    return edit;
}

publish::PublishSettings FrmPublishing::settings() const
{
    publish::PublishSettings s;
    s.enabled = m_chkEnabled->isChecked();
    s.host = m_txtHost->text().trimmed();
    s.port = m_txtPort->value();
    s.clientId = m_txtClientId->text().trimmed();
    s.topicPrefix = m_txtPrefix->text().trimmed();
    s.username = m_txtUser->text();
    s.passwordFile = m_txtPasswordFile->text().trimmed();
    s.caFile = m_txtCaFile->text().trimmed();
    s.certFile = m_txtCertFile->text().trimmed();
    s.keyFile = m_txtKeyFile->text().trimmed();
    s.qos = m_cmbQos->currentIndex();
    s.keepalive = m_txtKeepalive->value();
    s.commands = m_chkCommands->isChecked();
    return s;
}

void FrmPublishing::testConnection()
{
    const publish::PublishSettings s = settings();
    QString password;
    if (!s.passwordFile.isEmpty()) {
        QString error;
        const auto read = publish::readPasswordFile(s.passwordFile, &error);
        if (!read) {
            m_lblTest->setText(error);
            return;
        }
        password = *read;
    }
    const publish::ConnectionParams params = publish::connectionParams(s, password);
    m_cmdTest->setEnabled(false);
    m_probedBroker = s.brokerName();
    m_lblTest->setText(QStringLiteral("Connecting to %1...").arg(m_probedBroker));
    m_probe->probe(params, std::chrono::seconds(10));
}

void FrmPublishing::onOk()
{
    const publish::PublishSettings s = settings();
    if (QString error; !publish::writePublishSettings(m_dir, s, &error)) {
        m_prompts.message(error, windowTitle(), core::PromptIcon::Error);
        return;
    }
    if (m_apply)
        m_apply(s);
    accept();
}

} // namespace tarv::ui

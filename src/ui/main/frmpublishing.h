#pragma once

#include "core/prompts.h"
#include "publish/publishsettings.h"

#include <QDialog>

#include <functional>

class QCheckBox;
class QComboBox;
class QFormLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace tarv::publish {
class MqttConnection;
}

namespace tarv::ui {

// Options > Publishing...: where live values go. OK writes tarvane.ini and hands
// the settings on; "Test connection" tries them without saving, on a connection's own
// thread, which the dialog abandons when it goes.
class FrmPublishing : public QDialog
{
    Q_OBJECT
public:
    using Apply = std::function<void(const publish::PublishSettings &)>;

    FrmPublishing(
        const QString &dir, core::Prompts &prompts, Apply apply, QWidget *parent = nullptr);

    publish::PublishSettings settings() const;
    void testConnection();

private:
    void onOk();
    QLineEdit *addText(const QString &name, const QString &label, const QString &value);

    QString m_dir;
    core::Prompts &m_prompts;
    Apply m_apply;
    QCheckBox *m_chkEnabled = nullptr;
    QLineEdit *m_txtHost = nullptr;
    QSpinBox *m_txtPort = nullptr;
    QLineEdit *m_txtClientId = nullptr;
    QLineEdit *m_txtPrefix = nullptr;
    QLineEdit *m_txtUser = nullptr;
    QLineEdit *m_txtPasswordFile = nullptr;
    QLineEdit *m_txtCaFile = nullptr;
    QLineEdit *m_txtCertFile = nullptr;
    QLineEdit *m_txtKeyFile = nullptr;
    QComboBox *m_cmbQos = nullptr;
    QSpinBox *m_txtKeepalive = nullptr;
    QCheckBox *m_chkCommands = nullptr;
    QPushButton *m_cmdTest = nullptr;
    QLabel *m_lblTest = nullptr;
    publish::MqttConnection *m_probe = nullptr;
    QString m_probedBroker;
    QFormLayout *m_form = nullptr;
};

} // namespace tarv::ui

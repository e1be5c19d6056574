#pragma once

#include <QWidget>

#include <array>

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace tarv::core {
struct AcquisitionState;
class Prompts;
} // namespace tarv::core

namespace tarv::ui::config {

// Card configuration: input type and range per analog channel, direction per
// digital line. "Save Configuration" copies the controls into the shared state
// (memory only; nothing is sent to the card); the disk buttons save the controls
// to a .cfg file or fill them from one without touching the state. File errors
// and cancelled dialogs end those operations without a word.
class FrmConfig : public QWidget
{
    Q_OBJECT

public:
    explicit FrmConfig(
        core::AcquisitionState &state, core::Prompts &prompts, QWidget *parent = nullptr);

private:
    void buildAnalogGroups();
    void buildDigitalGroups();
    void buildSaveGroup();
    void loadFromState();
    void saveToState();
    void saveToDisk();
    void loadFromDisk();
    int listPosition(int channel) const;

    core::AcquisitionState &m_state;
    core::Prompts &m_prompts;

    QGroupBox *Frame2 = nullptr;
    std::array<QGroupBox *, 8> FrameAnalog {};
    std::array<QLabel *, 8> lblInputType {};
    std::array<QComboBox *, 8> cmbInputType {};
    std::array<QLabel *, 8> lblInputRange {};
    std::array<QLineEdit *, 8> txtInputRange {};

    QGroupBox *Frame1 = nullptr;
    std::array<QGroupBox *, 16> FrameDIO {};
    std::array<QRadioButton *, 16> optDIOInput {};
    std::array<QRadioButton *, 16> optDIOOutput {};

    QGroupBox *Frame3 = nullptr;
    std::array<QPushButton *, 2> cmdSave {};
    QPushButton *cmdSaveToDisk = nullptr;
    QPushButton *cmdLoadFromDisk = nullptr;
};

} // namespace tarv::ui::config

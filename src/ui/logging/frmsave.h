#pragma once

#include <QDialog>

#include <array>

class QCheckBox;
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

namespace tarv::logging {
class Logger;
} // namespace tarv::logging

namespace tarv::ui {

// The logging settings: file, separator, interval, stamp and column titles. Opened
// modally from File > Save; the caller sets the menu's check mark from
// savingActive once exec() returns. OK stores the settings in the shared state
// first and checks them afterwards, so a refused OK still keeps what was typed;
// only a double quote is refused before anything is stored, because the settings
// file keeps texts in double quotes without escaping and could not be read back.
// OK with an empty file name switches logging off; that is the only way to stop it.
class FrmSave : public QDialog
{
    Q_OBJECT

public:
    FrmSave(core::AcquisitionState &state, logging::Logger &logger, core::Prompts &prompts,
        QWidget *parent = nullptr);

private:
    void buildFileGroup();
    void buildChannelGroup();
    void buildOptionGroups();
    void buildButtons();
    void loadFromState();
    bool refuseDoubleQuotes();
    void storeToState();
    void confirm();
    void selectFile();

    core::AcquisitionState &m_state;
    logging::Logger &m_logger;
    core::Prompts &m_prompts;

    QGroupBox *Frame1 = nullptr;
    QLabel *Label1 = nullptr;
    QLineEdit *txtFile = nullptr;
    QPushButton *cmdSelect = nullptr;

    QGroupBox *Frame2 = nullptr;
    std::array<QLabel *, 8> lblChannel {};
    std::array<QLineEdit *, 8> txtChannel {};
    QCheckBox *chkHeaders = nullptr;

    QGroupBox *Frame3 = nullptr;
    QRadioButton *optCSV = nullptr;
    QRadioButton *optTSV = nullptr;
    QRadioButton *optSSV = nullptr;

    QGroupBox *Frame4 = nullptr;
    QComboBox *cmbIntv = nullptr;
    QRadioButton *optSec = nullptr;
    QRadioButton *optMin = nullptr;
    QRadioButton *optHour = nullptr;

    QGroupBox *Frame5 = nullptr;
    QRadioButton *optSN = nullptr;
    QRadioButton *optDT = nullptr;
    QRadioButton *optT = nullptr;
    QRadioButton *optNone = nullptr;

    QPushButton *cmdOK = nullptr;
    QPushButton *cmdCancel = nullptr;
};

} // namespace tarv::ui

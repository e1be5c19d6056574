#pragma once

#include <QObject>
#include <QString>

namespace tarv::core {
struct AcquisitionState;
}
namespace tarv::link {
class CardLink;
struct PortProblem;
} // namespace tarv::link

namespace tarv::acquisition {

class Reporter;

// Finds the card's port by the COM rule and keeps it: opens it, says why it did not
// open, looks again after a loss, and moves to another port number when the
// settings name one. An unattended run also keeps looking for a port that was not
// there at the start, and gives up when another program holds it.
class PortKeeper : public QObject
{
    Q_OBJECT
public:
    enum class Result { Opened, NotOpen, InUse };

    PortKeeper(core::AcquisitionState &state, link::CardLink &link, Reporter &reporter,
        bool unattended, QObject *parent = nullptr);

    // Opens the port comPort names; portFailure says why when it does not open.
    Result open();
    // comPort changed: the old card is told to stop, its port let go, and the new
    // one opened (or looked for), so no frame of the old card counts any more.
    Result move();

private:
    QString comName() const;
    void reportNotOpen(const link::PortProblem &problem);

    core::AcquisitionState &m_state;
    link::CardLink &m_link;
    Reporter &m_reporter;
    bool m_unattended;
    QString m_lastProblem; // told once, until it changes or the port opens
};

} // namespace tarv::acquisition

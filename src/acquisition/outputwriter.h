#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

#include <chrono>

namespace tarv::core {
struct AcquisitionState;
}
namespace tarv::link {
class CardLink;
}

namespace tarv::acquisition {

// Writes the wanted output word (doCommand) to the card: as soon as the changes in
// hand are made (the next pass of the event loop) when the last "#D" went out at
// least a hold ago, else when the hold ends, with whatever is wanted then. A burst
// of changes (a chattering remote client, several rules at once) ends in a few
// writes carrying the last wanted state, and "@F" never waits behind a queue of
// outputs at 9600 baud.
class OutputWriter : public QObject
{
    Q_OBJECT
public:
    static constexpr std::chrono::milliseconds Hold {50};

    OutputWriter(
        const core::AcquisitionState &state, link::CardLink &link, QObject *parent = nullptr);

    // doCommand changed.
    void request();
    // Writes now, hold or not (a safe state before "@F").
    void flush();

private:
    void onHoldEnded();

    const core::AcquisitionState &m_state;
    link::CardLink &m_link;
    QTimer m_soon; // the changes in hand are made
    QTimer m_hold;
    bool m_pending = false;
    QString m_written; // the last "#D" text written
};

} // namespace tarv::acquisition

#pragma once

#include <QByteArray>
#include <QString>

#include <chrono>

namespace tarv::testsupport {

// A pseudo-terminal standing in for the card. The program opens slavePath() as its
// serial port; the test plays the card on the master side. The slave is put in raw
// mode so CRs cross unchanged, and one slave descriptor stays open for the pair's
// life, so the master never reads EIO while the program closes and reopens its end.
class PtyPair
{
public:
    PtyPair();
    ~PtyPair();
    PtyPair(const PtyPair &) = delete;
    PtyPair &operator=(const PtyPair &) = delete;

    bool isValid() const { return m_master >= 0 && m_slave >= 0; }
    QString errorString() const { return m_error; }
    QString slavePath() const { return m_slavePath; }

    // What the card sends. Pumps the Qt event loop while the terminal's buffer is
    // full, so the program can drain it; false when not all went out in time.
    bool writeToProgram(
        const QByteArray &bytes, std::chrono::milliseconds deadline = std::chrono::seconds(5));

    // Whether waitForBytes runs the Qt event loop while it waits. Holding it proves
    // that bytes were written synchronously, before any timer could fire.
    enum class Events { Process, Hold };

    // What the program writes, read until at least n bytes came or the deadline
    // passed. Returns all it read.
    QByteArray waitForBytes(qsizetype n,
        std::chrono::milliseconds deadline = std::chrono::seconds(5),
        Events events = Events::Process);

    // The card vanishes: the program's end reports a hang-up from now on.
    void closeMaster();

private:
    int m_master = -1;
    int m_slave = -1;
    QString m_slavePath;
    QString m_error;
};

} // namespace tarv::testsupport

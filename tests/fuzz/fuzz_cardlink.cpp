// The card link's receive handler. The input is a sequence of chunks, each a header
// byte and its payload:
//   bits 0..5  payload length (0..63 bytes)
//   bit 6      send the payload 64 times over (to reach the pending-text bound)
//   bit 7      hold the chunk back and deliver it from inside the handler of the next
//              accepted analog frame or version reply, as text that arrives while a
//              slot shows a modal box is delivered
// A reference model of the line splitting runs beside the link; after every chunk
// the link's counters and readings must match it.

#include "core/acquisitionstate.h"
#include "fuzzsupport.h"
#include "link/cardlink.h"
#include "link/framedecoder.h"

#include <QCoreApplication>
#include <QIODevice>

#include <cstring>
#include <optional>
#include <utility>

using namespace tarv;
using fuzz::FuzzInput;
using fuzz::sameBits;

namespace {

// A receive line without a serial port: push() hands bytes over and announces them
// synchronously.
class ChunkDevice final : public QIODevice
{
public:
    ChunkDevice() { open(QIODevice::ReadWrite); }

    void push(const QByteArray &bytes)
    {
        m_incoming += bytes;
        emit readyRead();
    }

    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override
    {
        return m_incoming.size() + QIODevice::bytesAvailable();
    }

protected:
    qint64 readData(char *data, qint64 maxSize) override
    {
        const qint64 n = qMin(maxSize, qint64(m_incoming.size()));
        std::memcpy(data, m_incoming.constData(), size_t(n));
        m_incoming.remove(0, qsizetype(n));
        return n;
    }
    qint64 writeData(const char *, qint64 size) override { return size; }

private:
    QByteArray m_incoming;
};

// The documented receive rules, written plainly: split at every CR, drop the start
// of an unterminated text beyond MaxPendingBytes together with the line it belongs
// to, dispatch by first character and length.
class LinkModel
{
public:
    link::LinkCounters counters;
    core::AcquisitionState state; // readings as the link should hold them
    std::optional<QByteArray> held; // chunk to deliver inside the next accepted line

    void feed(const QByteArray &bytes)
    {
        m_pending += bytes;
        qsizetype end;
        while ((end = m_pending.indexOf('\r')) >= 0) {
            const QByteArray line = m_pending.left(end + 1);
            m_pending.remove(0, end + 1);
            if (m_truncated) {
                m_truncated = false;
                ++counters.linesDiscarded;
            } else if (dispatch(QString::fromLatin1(line)) && held) {
                m_pending += *held;
                held.reset();
            }
        }
        if (m_pending.size() > link::CardLink::MaxPendingBytes) {
            const qsizetype excess = m_pending.size() - link::CardLink::MaxPendingBytes;
            m_pending.remove(0, excess);
            m_truncated = true;
            counters.bytesDiscarded += quint64(excess);
        }
    }

private:
    // True for the lines whose handlers may deliver held text.
    bool dispatch(const QString &line)
    {
        if (line.startsWith(u'V')) {
            ++counters.versionReplies;
            state.cardConnected = core::True;
            state.cardVersion = line.mid(1, 4);
            return true;
        }
        if (line.size() == 62) {
            m_trial.analogFrame = line;
            if (link::DecodeAnalogFrame(m_trial) != link::DecodeOutcome::Accepted) {
                ++counters.framesDropped;
                return false;
            }
            state.analogFrame = line;
            state.rawCounts = m_trial.rawCounts;
            state.ambientTemp = m_trial.ambientTemp;
            ++counters.analogAccepted;
            return true;
        }
        if (line.size() == 9) {
            m_trial.digitalFrame = line;
            if (link::DecodeDigitalFrame(m_trial) != link::DecodeOutcome::Accepted) {
                ++counters.framesDropped;
                return false;
            }
            state.digitalFrame = line;
            state.diStates = m_trial.diStates;
            state.doStates = m_trial.doStates;
            ++counters.digitalAccepted;
            return false;
        }
        ++counters.linesDiscarded;
        return false;
    }

    core::AcquisitionState m_trial; // decodes a line without touching `state`
    QByteArray m_pending;
    bool m_truncated = false;
};

struct Emitted
{
    quint64 versions = 0;
    quint64 conversions = 0;
    quint64 analog = 0;
    quint64 digital = 0;
    quint64 dropped = 0;
};

bool sameCounters(const link::LinkCounters &a, const link::LinkCounters &b)
{
    return a.analogAccepted == b.analogAccepted && a.digitalAccepted == b.digitalAccepted
        && a.versionReplies == b.versionReplies && a.linesDiscarded == b.linesDiscarded
        && a.framesDropped == b.framesDropped && a.bytesDiscarded == b.bytesDiscarded;
}

void check(const link::CardLink &link, const core::AcquisitionState &s, const LinkModel &model,
    const Emitted &emitted)
{
    const link::LinkCounters &c = link.counters();
    FUZZ_REQUIRE(sameCounters(c, model.counters));
    FUZZ_REQUIRE(emitted.versions == c.versionReplies);
    FUZZ_REQUIRE(emitted.conversions == c.analogAccepted && emitted.analog == c.analogAccepted);
    FUZZ_REQUIRE(emitted.digital == c.digitalAccepted);
    FUZZ_REQUIRE(emitted.dropped == c.framesDropped);

    const core::AcquisitionState &m = model.state;
    FUZZ_REQUIRE(s.cardConnected == m.cardConnected && s.cardVersion == m.cardVersion);
    FUZZ_REQUIRE(s.analogFrame == m.analogFrame && s.rawCounts == m.rawCounts);
    FUZZ_REQUIRE(sameBits(s.ambientTemp, m.ambientTemp));
    FUZZ_REQUIRE(s.digitalFrame == m.digitalFrame);
    FUZZ_REQUIRE(s.diStates == m.diStates && s.doStates == m.doStates);
}

QCoreApplication &application()
{
    static int argc = 1;
    static char name[] = "fuzz_cardlink";
    static char *argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    return app;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    application();
    core::AcquisitionState state;
    link::CardLink cardLink(state);
    ChunkDevice device;
    cardLink.attachDevice(&device);

    LinkModel model;
    model.state = state;
    Emitted emitted;
    std::optional<QByteArray> held;
    auto deliverHeld = [&] {
        if (held)
            device.push(*std::exchange(held, std::nullopt));
    };
    QObject::connect(&cardLink, &link::CardLink::versionReceived, [&] {
        ++emitted.versions;
        deliverHeld();
    });
    QObject::connect(&cardLink, &link::CardLink::analogFrameAccepted, [&] {
        ++emitted.analog;
        deliverHeld();
    });
    QObject::connect(&cardLink, &link::CardLink::conversionFailed, [&] { ++emitted.conversions; });
    QObject::connect(&cardLink, &link::CardLink::digitalFrameAccepted, [&] { ++emitted.digital; });
    QObject::connect(&cardLink, &link::CardLink::frameDropped, [&] { ++emitted.dropped; });

    auto deliver = [&](const QByteArray &bytes) {
        const QString before = state.analogFrame;
        device.push(bytes);
        model.feed(bytes);
        check(cardLink, state, model, emitted);
        if (state.analogFrame != before)
            FUZZ_REQUIRE(state.analogFrame.size() == 62 && state.analogFrame.endsWith(u'\r'));
    };

    FuzzInput in(data, size);
    while (!in.atEnd()) {
        const std::uint8_t header = in.byte();
        QByteArray payload;
        for (int n = header & 0x3F; n > 0 && !in.atEnd(); --n)
            payload += char(in.byte());
        if (header & 0x40)
            payload = payload.repeated(64);
        if (header & 0x80) {
            // An earlier held chunk that found no handler to ride in arrives now.
            if (held) {
                const QByteArray earlier = *held;
                held.reset();
                model.held.reset();
                deliver(earlier);
            }
            held = payload;
            model.held = payload;
        } else {
            deliver(payload);
        }
    }
    if (held) {
        const QByteArray last = *held;
        held.reset();
        model.held.reset();
        deliver(last);
    }
    // Whatever is still pending becomes one more line.
    deliver(QByteArrayLiteral("\r"));
    return 0;
}

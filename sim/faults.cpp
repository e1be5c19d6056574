#include "sim/faults.h"

namespace tarv::sim {

FaultInjector::FaultInjector(const FaultSettings &settings, std::uint64_t seed)
    : m_settings(settings)
    , m_random(seed)
{ }

int FaultInjector::uniform(int low, int high)
{
    return std::uniform_int_distribution<int>(low, high)(m_random);
}

bool FaultInjector::roll(double probability)
{
    if (probability <= 0)
        return false;
    return std::uniform_real_distribution<double>(0.0, 1.0)(m_random) < probability;
}

std::string FaultInjector::junkLine()
{
    int length = uniform(1, 80);
    if (length == 8 || length == 61)
        ++length;
    std::string line;
    line.reserve(length + 1);
    while (int(line.size()) < length) {
        const auto byte = static_cast<char>(uniform(0, 255));
        if (byte == '\r' || (line.empty() && byte == 'V'))
            continue;
        line += byte;
    }
    return line + '\r';
}

std::string FaultInjector::overlongLine()
{
    std::string line(5000, ' ');
    for (char &ch : line)
        ch = static_cast<char>(uniform('!', '~'));
    // Arriving whole, a line starting with "V" is a version reply, whatever its length.
    if (line.front() == 'V')
        line.front() = 'W';
    return line + '\r';
}

std::string FaultInjector::damageAnalog(std::string frame)
{
    // Count fields start every 7 characters: sign at 7i, digits at 7i+1..7i+5. The
    // receiver reads a field as far as it is a number, so only a count too large
    // for 16 bits is sure to be refused; letters would be read as a number.
    const int field = uniform(0, 7);
    const std::string count = std::to_string(uniform(32768, 99999));
    frame[field * 7] = uniform(0, 1) == 0 ? '+' : '-';
    frame.replace(field * 7 + 1, 5, count);
    return frame;
}

std::string FaultInjector::damageDigital(std::string frame)
{
    static constexpr char notHex[] = "GHJKLMNPXYZ#*.";
    frame[uniform(0, 7)] = notHex[uniform(0, int(sizeof notHex) - 2)];
    return frame;
}

std::vector<Piece> FaultInjector::pieces(const std::string &text)
{
    if (!m_settings.split || text.size() < 3)
        return {Piece {text}};
    const int count = uniform(2, 3);
    std::vector<Piece> result;
    std::size_t start = 0;
    for (int i = 0; i < count; ++i) {
        const std::size_t left = text.size() - start;
        const std::size_t size
            = (i == count - 1) ? left : std::size_t(uniform(1, int(left) - (count - 1 - i)));
        const auto delay = std::chrono::milliseconds(i == 0 ? 0 : uniform(2, 15));
        result.push_back(Piece {text.substr(start, size), delay});
        start += size;
    }
    return result;
}

int FaultInjector::mergeBatch()
{
    return m_settings.merge ? uniform(2, 4) : 1;
}

std::chrono::milliseconds FaultInjector::quietGap()
{
    return std::chrono::milliseconds(uniform(10000, 30000));
}

} // namespace tarv::sim

#pragma once

#include <QByteArray>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

// An invariant the code under test must keep. A violation names itself and aborts,
// which libFuzzer records as a crash together with the input that caused it.
#define FUZZ_REQUIRE(condition)                                                                    \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(                                                                          \
                stderr, "invariant broken at %s:%d: %s\n", __FILE__, __LINE__, #condition);        \
            std::abort();                                                                          \
        }                                                                                          \
    } while (false)

namespace tarv::fuzz {

// Reads the fuzzer's bytes front to back; past the end every byte reads as 0, so a
// short input still makes a complete (if dull) set of choices.
class FuzzInput
{
public:
    FuzzInput(const std::uint8_t *data, std::size_t size)
        : m_data(data)
        , m_size(size)
    { }

    std::uint8_t byte() { return m_pos < m_size ? m_data[m_pos++] : 0; }
    bool atEnd() const { return m_pos >= m_size; }

    std::int16_t int16()
    {
        const auto low = byte();
        return static_cast<std::int16_t>(std::uint16_t(byte()) << 8 | low);
    }

    // Everything not yet read.
    QByteArray rest()
    {
        const std::size_t from = m_pos < m_size ? m_pos : m_size;
        m_pos = m_size;
        return QByteArray(reinterpret_cast<const char *>(m_data + from), qsizetype(m_size - from));
    }

private:
    const std::uint8_t *m_data;
    std::size_t m_size;
    std::size_t m_pos = 0;
};

// Bitwise equality, so NaN == NaN and -0 != +0 where a value must stay untouched.
template<typename T> bool sameBits(const T &a, const T &b)
{
    return std::memcmp(&a, &b, sizeof(T)) == 0;
}

} // namespace tarv::fuzz

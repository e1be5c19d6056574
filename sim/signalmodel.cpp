#include "sim/signalmodel.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <numbers>

namespace tarv::sim {

namespace {

int toCount(double value)
{
    return static_cast<int>(std::lround(std::clamp(value, -32768.0, 32767.0)));
}

double wave(double seconds, double period)
{
    return std::sin(2 * std::numbers::pi * seconds / period);
}

double polynomial(const double *coefficients, int size, double x)
{
    double sum = 0;
    for (int i = size - 1; i >= 0; --i)
        sum = sum * x + coefficients[i];
    return sum;
}

// A 64-bit mixer: turns consecutive numbers into unrelated ones.
std::uint64_t mix(std::uint64_t x)
{
    x += 0x9e3779b97f4a7c15ULL;
    x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9ULL;
    x = (x ^ (x >> 27)) * 0x94d049bb133111ebULL;
    return x ^ (x >> 31);
}

} // namespace

int countFor10V(double volts)
{
    return toCount(zero10VCount + (span10VCount - zero10VCount) * volts / 10.0);
}

int countFor200mV(double millivolts)
{
    return toCount(zero200mVCount + (span200mVCount - zero200mVCount) * millivolts / 200.0);
}

int countForResistance(double ohms)
{
    return toCount(rtdCalCount * ohms / 100.0);
}

double typeJEmf(double celsius)
{
    static constexpr double c[]
        = {0.0, 0.503811878150e-1, 0.304758369300e-4, -0.856810657200e-7, 0.132281952950e-9,
            -0.170529583370e-12, 0.209480906970e-15, -0.125383953360e-18, 0.156317256970e-22};
    return polynomial(c, std::size(c), celsius);
}

double typeKEmf(double celsius)
{
    static constexpr double c[] = {-0.176004136860e-1, 0.389212049750e-1, 0.185587700320e-4,
        -0.994575928740e-7, 0.318409457190e-9, -0.560728448890e-12, 0.560750590590e-15,
        -0.320207200030e-18, 0.971511471520e-22, -0.121047212750e-25};
    const double a0 = 0.118597600000e0;
    const double a1 = -0.118343200000e-3;
    const double a2 = 0.126968600000e3;
    const double d = celsius - a2;
    return polynomial(c, std::size(c), celsius) + a0 * std::exp(a1 * d * d);
}

double pt100Resistance(double celsius)
{
    // The same coefficients the program linearises with, so a PT-100 channel reads
    // back the temperature simulated here.
    return 100.0 * (1 + 0.00390802 * celsius - 5.802e-7 * celsius * celsius);
}

std::optional<Reference> parseReference(std::string_view name)
{
    std::string lower(name);
    std::transform(lower.begin(), lower.end(), lower.begin(),
        [](unsigned char ch) { return static_cast<char>(std::tolower(ch)); });
    if (lower == "0v")
        return Reference::Zero10V;
    if (lower == "10v")
        return Reference::Span10V;
    if (lower == "0mv")
        return Reference::Zero200mV;
    if (lower == "200mv")
        return Reference::Span200mV;
    if (lower == "rtd")
        return Reference::Rtd;
    if (lower == "off")
        return Reference::None;
    return std::nullopt;
}

std::string_view referenceText(Reference reference)
{
    switch (reference) {
    case Reference::Zero10V:
        return "0 V (10 V input shorted)";
    case Reference::Span10V:
        return "10.000 V";
    case Reference::Zero200mV:
        return "0 mV (2 V input shorted)";
    case Reference::Span200mV:
        return "200.0 mV";
    case Reference::Rtd:
        return "100 ohms";
    case Reference::None:
        break;
    }
    return "none";
}

int referenceCount(Reference reference)
{
    switch (reference) {
    case Reference::Zero10V:
        return countFor10V(0);
    case Reference::Span10V:
        return countFor10V(10);
    case Reference::Zero200mV:
        return countFor200mV(0);
    case Reference::Span200mV:
        return countFor200mV(200);
    case Reference::Rtd:
        return countForResistance(100);
    case Reference::None:
        break;
    }
    return 0;
}

AnalogSample analogSampleAt(double seconds, Reference reference)
{
    AnalogSample sample;
    sample.ambient = 24.5 + 0.3 * wave(seconds, 600);
    if (reference != Reference::None) {
        sample.counts.fill(referenceCount(reference));
        return sample;
    }
    const double loopMilliamps = 12 + 8 * wave(seconds, 90);
    const double plainMilliamps = 10 + 10 * wave(seconds, 120);
    const double sawtooth = 200 * std::fmod(seconds, 30.0) / 30.0;
    const double rtdCelsius = 22 + 0.3 * wave(seconds, 300);
    const double jCelsius = 300 + 2 * wave(seconds, 120);
    const double kCelsius = 400 + 3 * wave(seconds, 180);

    sample.counts[0] = countFor10V(8 * wave(seconds, 60));
    sample.counts[1] = countFor200mV(loopMilliamps * shuntOhms);
    sample.counts[2] = countFor200mV(plainMilliamps * shuntOhms);
    sample.counts[3] = countFor200mV(sawtooth);
    sample.counts[4] = countForResistance(pt100Resistance(rtdCelsius));
    sample.counts[5] = countFor200mV(typeJEmf(jCelsius) - typeJEmf(sample.ambient));
    sample.counts[6] = countFor200mV(typeKEmf(kCelsius) - typeKEmf(sample.ambient));
    sample.counts[7] = countFor10V(2.5);
    return sample;
}

std::optional<Break> parseBreak(std::string_view name)
{
    std::string lower(name);
    std::ranges::transform(lower, lower.begin(), [](unsigned char c) { return std::tolower(c); });
    if (lower == "open")
        return Break::Open;
    if (lower == "short")
        return Break::Short;
    if (lower == "loop")
        return Break::Loop;
    if (lower == "full")
        return Break::Full;
    if (lower == "none")
        return Break::None;
    return std::nullopt;
}

void applyBreak(AnalogSample &sample, int channel, Break kind)
{
    int &count = sample.counts[std::size_t(channel)];
    switch (kind) {
    case Break::None:
        return;
    case Break::Open:
    case Break::Full:
        count = 32767;
        return;
    case Break::Short:
        // The zero of the channel's input: 0 V, 0 mV, or 0 ohms on the RTD.
        count = channel == 4 ? 0 : channel == 0 || channel == 7 ? zero10VCount : zero200mVCount;
        return;
    case Break::Loop:
        count = countFor200mV(0);
        return;
    }
}

void addNoise(AnalogSample &sample, std::uint64_t frameNumber)
{
    for (int ch = 0; ch < channelCount; ++ch) {
        const auto offset = static_cast<int>(mix(frameNumber * channelCount + ch) % 5) - 2;
        sample.counts[ch] = std::clamp(sample.counts[ch] + offset, -32768, 32767);
    }
}

std::uint16_t inputWordAt(double seconds)
{
    std::uint16_t word = (1u << 9) | (1u << 11) | (1u << 15);
    const auto whole = static_cast<long long>(std::floor(seconds));
    if ((whole / 2) % 2 == 1)
        word |= 1u << 0;
    if ((whole / 5) % 2 == 1)
        word |= 1u << 5;
    return word;
}

std::string analogFrameText(const AnalogSample &sample)
{
    char text[analogFrameLength + 1];
    char *at = text;
    for (int count : sample.counts) {
        std::snprintf(at, 8, "%+06d,", std::clamp(count, -99999, 99999));
        at += 7;
    }
    // Sign, two digits, ".", one digit: five characters for any ambient within
    // +-99.9. Built from integers so that no locale can turn the point into a comma.
    const long tenths = std::lround(std::clamp(sample.ambient, -99.9, 99.9) * 10);
    const auto digits = static_cast<int>(std::labs(tenths));
    at[0] = tenths < 0 ? '-' : '+';
    at[1] = char('0' + digits / 100);
    at[2] = char('0' + digits / 10 % 10);
    at[3] = '.';
    at[4] = char('0' + digits % 10);
    at[5] = '\r';
    return std::string(text, analogFrameLength);
}

std::string digitalFrameText(std::uint16_t inputs, std::uint16_t outputs)
{
    char text[digitalFrameLength + 1];
    std::snprintf(text, sizeof text, "%04X%04X\r", unsigned(inputs), unsigned(outputs));
    return std::string(text, digitalFrameLength);
}

} // namespace tarv::sim

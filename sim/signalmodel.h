#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tarv::sim {

// The simulated card's analog front end, in raw counts of its 16-bit converter
// (-32768..32767). Every input is linear; the small offsets stand for the zero error
// of a real converter, so that calibration has something to take out.
//
//   +/-10 V input   count = 100 + 2700 * volts        0 V -> 100,    10.000 V -> 27100
//   200 mV input    count = 80 + 120 * millivolts     0 mV -> 80,    200.0 mV -> 24080
//   RTD input       count = 130 * ohms                100 ohms -> 13000
//
// Current loops are read on the 200 mV input across a 10 ohm shunt (20 mA -> 200 mV).
// These are the counts the calibration window captures from the card, and the demo
// settings hold exactly them; they also pass its acceptance limits (zero 150 or less,
// 10 V span 26000 or more, 200 mV span 23000 or more).
inline constexpr int zero10VCount = 100;
inline constexpr int span10VCount = 27100;
inline constexpr int zero200mVCount = 80;
inline constexpr int span200mVCount = 24080;
inline constexpr int rtdCalCount = 13000;
inline constexpr double shuntOhms = 10.0;

inline constexpr int channelCount = 8;

// Converter counts for a signal on each input, rounded and limited to 16 bits.
int countFor10V(double volts);
int countFor200mV(double millivolts);
int countForResistance(double ohms);

// Reference functions of the published temperature scale, millivolts at degC:
// type J with its polynomial for -210..760 degC, type K with its polynomial and
// exponential term for 0..1372 degC. Outside those ranges they extrapolate.
double typeJEmf(double celsius);
double typeKEmf(double celsius);
// PT-100 resistance in ohms, R0 (1 + A t + B t^2), the curve for 0 degC and above.
double pt100Resistance(double celsius);

// A calibration reference applied to every input at once: the card then reads the
// reference's count on all eight channels.
enum class Reference { None, Zero10V, Span10V, Zero200mV, Span200mV, Rtd };

// "0v", "10v", "0mv", "200mv", "rtd", "off" (any case); nothing for other text.
std::optional<Reference> parseReference(std::string_view name);
// What the operator would wire up, e.g. "10.000 V"; "none" for Reference::None.
std::string_view referenceText(Reference reference);
int referenceCount(Reference reference);

// A sensor broken on purpose, as a rig's wiring breaks:
//   open   the converter runs to its high end (an open RTD, a thermocouple's burnout)
//   short  the input reads its zero (a shorted RTD reads 0 ohms)
//   loop   a broken current loop: 0 mA across the shunt
//   full   the converter at full scale
enum class Break { None, Open, Short, Loop, Full };

// "open", "short", "loop", "full", "none" (any case); nothing for other text.
std::optional<Break> parseBreak(std::string_view name);

struct AnalogSample
{
    std::array<int, channelCount> counts {};
    double ambient = 0; // cold-junction temperature, degC
};

// The eight inputs and the cold junction `seconds` after the card powered up:
//   ch0 +/-10 V: sine of 8 V amplitude, period 60 s
//   ch1 4-20 mA loop: 12 +- 8 mA, period 90 s
//   ch2 0-20 mA: 10 +- 10 mA, period 120 s
//   ch3 0-200 mV: sawtooth from 0 to 200 mV, period 30 s
//   ch4 PT-100 at about 22 degC
//   ch5 type J thermocouple at about 300 degC, ch6 type K at about 400 degC, both
//       read as the EMF against the cold junction, E(T) - E(ambient)
//   ch7 +/-10 V: fixed 2.5 V
// The ambient drifts by 0.3 degC around 24.5 degC over ten minutes.
AnalogSample analogSampleAt(double seconds, Reference reference = Reference::None);

// What channel `channel` reads with its sensor broken so.
void applyBreak(AnalogSample &sample, int channel, Break kind);

// Adds -2..+2 counts per channel; a fixed function of the frame number, so that a
// run with noise repeats exactly.
void addNoise(AnalogSample &sample, std::uint64_t frameNumber);

// Input lines `seconds` after power-up: line 0 toggles every 2 s, line 5 every 5 s,
// lines 9, 11 and 15 stay on, the rest off.
std::uint16_t inputWordAt(double seconds);

// Analog frame, 62 characters: eight counts as sign and five digits, each followed
// by ",", then the ambient as five characters ("+24.5"), then CR. Counts beyond five
// digits and ambients beyond +-99.9 are limited to fit.
std::string analogFrameText(const AnalogSample &sample);
// Digital frame, 9 characters: input word and output word as four upper-case hex
// digits each, most significant first, then CR.
std::string digitalFrameText(std::uint16_t inputs, std::uint16_t outputs);

inline constexpr std::size_t analogFrameLength = 62;
inline constexpr std::size_t digitalFrameLength = 9;

} // namespace tarv::sim

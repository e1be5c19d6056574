#pragma once

#include "core/alarmstatus.h"
#include "core/quality.h"

#include <QString>

#include <array>
#include <cstdint>
#include <vector>

namespace tarv::core {

// The card's word sizes, named as the rest of the program thinks of them.
using Integer = std::int16_t; // signed 16-bit
using Long = std::int32_t; // signed 32-bit
using Single = float; // IEEE 754 binary32
using Double = double; // IEEE 754 binary64
using Flag = std::int16_t; // only ever -1 (true) or 0 (false)

inline constexpr Flag True = -1;
inline constexpr Flag False = 0;
inline constexpr Flag toFlag(bool b)
{
    return b ? True : False;
}

inline constexpr int ChannelCount = 8; // channels 0..7 are used
inline constexpr int LineCount = 16; // digital lines 0..15 are used

// Arrays are declared larger than used, as the card's firmware tables are; the
// unused tail stays at its default and is never shown or persisted. Only the
// thermocouple lookup can read past the loaded part of a table (as 0).
template<typename T> using ChannelArray = std::array<T, 11>; // 0..10
template<typename T> using WideArray = std::array<T, 21>; // 0..20
using TcTable = std::array<Double, 2001>; // 0..2000

inline const QString DefaultAnalogFrame
    = QStringLiteral("+00000,+00000,+00000,+00000,+00000,+00000,+00000,+00000,+25.00");

// The state every window, the link and the logger share. One instance is made by
// the program and handed around by reference; tests make as many as they like.
// All access happens on the user-interface thread.
struct AcquisitionState
{
    // Link and start-up
    Integer comPort = 1; // COM n of the card, persisted in tarv.con
    QString appPath; // working directory at start-up: settings files and tables
    Flag cardConnected = False; // the card has answered the version query
    Flag portOpened = False; // the port was opened when the main window loaded
    Flag portLost = False; // the open port failed; the link is trying to reopen it
    QString portFailure; // why the port did not open, in words; empty when it did
    Flag taskRunning = False; // the acquisition task was started on the card
    QString cardVersion; // characters 2..5 of the version reply
    // Last analog frame with its CR; the start-up value has the same length but
    // ends in a sixth ambient character instead, so views treat data as present.
    QString analogFrame = DefaultAnalogFrame;
    QString digitalFrame; // last digital frame, with its CR

    // Readings
    ChannelArray<Integer> rawCounts {};
    ChannelArray<Single> channelValues {};
    // Beside each value: how far it can be trusted. The session says "no data" while
    // no card delivers; the link assesses every frame.
    ChannelArray<ChannelQuality> channelQuality {};
    Single ambientTemp = 0; // cold-junction temperature, deg C
    WideArray<Flag> diStates {};
    WideArray<Flag> doStates {}; // outputs as the card last reported them
    WideArray<Flag> doCommand {}; // outputs as last commanded
    // The alarm rule that drives each output line; empty where the operator and
    // remote commands may switch it.
    WideArray<QString> lineOwner {};

    // Alarm rules from tarvane.ini, in their order; none without rules.
    std::vector<AlarmStatus> alarms;

    // Channel configuration and calibration (persisted in tarvo.con)
    WideArray<Flag> dioDirection {}; // 0 input, -1 output
    WideArray<Integer> inputType {}; // index into the input type list
    WideArray<Double> inputRange {}; // engineering value at full scale
    ChannelArray<Integer> rtdCal {}; // count of the PT-100 at 0 deg C
    ChannelArray<Integer> zero10V {};
    ChannelArray<Integer> span10V {};
    ChannelArray<Integer> zero200mV {};
    ChannelArray<Integer> span200mV {};
    ChannelArray<Flag> plotEnable {};
    ChannelArray<Flag> saveEnable {};

    // Logging (persisted in tarvs.con, except the counters and savingActive)
    QString saveFileName;
    Flag savingActive = False;
    Flag useChannelHeaders = False;
    Integer separatorMode = 0; // 1 comma, 2 four blanks, 3 one blank
    Integer saveIntervalUnit = 0; // 1 seconds, 2 minutes, 3 hours
    Integer saveInterval = 0; // 1..300 units
    Integer stampMode = 0; // 1 serial no, 2 date and time, 3 time, 4 none
    ChannelArray<QString> channelNames {};
    Long savePeriodTicks = 0;
    Long saveTickCount = 0;
    Long saveSerialNo = 0;

    // Thermocouple EMF in mV per whole degree: jTable[t] for t = 0..1100,
    // kTable[t + 200] for t = -200..1370.
    TcTable jTable {};
    TcTable kTable {};
};

// The input type captions, in list order; the index is the inputType value.
inline constexpr int InputTypeCount = 7;
const std::array<QString, InputTypeCount> &inputTypeCaptions();

// The defaults that start-up gives before the settings files are read. Leaves the
// thermocouple tables alone (they are loaded first).
void applyDefaults(AcquisitionState &state);

// Copies what the settings files hold (port, card configuration, calibration,
// plot and log flags, logging settings) and nothing of the live link or readings.
void copySettings(const AcquisitionState &from, AcquisitionState &to);

} // namespace tarv::core

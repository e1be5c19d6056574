#pragma once

#include "sim/card.h"

#include <QStringList>

#include <optional>
#include <string>

namespace tarv::sim {

struct Options
{
    std::string dir = "."; // where the COM<n> link is made
    int port = 1;
    double rate = 2; // frame pairs (one analog, one digital) per second
    bool unthrottled = false; // as fast as the port takes them
    double exitAfter = 0; // seconds; 0 runs until a signal
    double vanishEvery = 0; // seconds between losses of the port; 0 never
    double vanishFor = 2; // seconds the port stays gone
    CardSettings card;

    std::string linkPath() const { return dir + "/COM" + std::to_string(port); }
};

// 9600 baud 8N1 carries 960 characters a second; a pair of frames is 62 + 9 of them.
inline constexpr double lineRate = 960.0 / 71.0;

// Reads the command line. Prints help or the reason for refusing it and gives
// nothing back; `exitCode` then says how the process should end.
std::optional<Options> parseOptions(const QStringList &arguments, int &exitCode);

} // namespace tarv::sim

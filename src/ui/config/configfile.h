#pragma once

#include <QByteArray>
#include <QString>

#include <array>
#include <cstdint>
#include <optional>

namespace tarv::ui::config {

// The ten lines of a card configuration file, as text. The file is plain Latin-1
// with CR LF line ends and no quotes:
//   1      the direction mask, four upper-case hex digits, bit n set = line n is an
//          input (the opposite sense to dioDirection, where -1 means output)
//   2      the list position of each channel's input type, channel 0 first, no
//          separators; a channel without a position contributes "-1"
//   3..10  the range box of channels 0..7 exactly as the operator typed it
struct ConfigFileContents
{
    QString dioMaskText;
    QString inputTypesText;
    std::array<QString, 8> rangeTexts;
};

// Writes the file aside and replaces the target only when everything was written,
// so a failed save never destroys an existing file. False on any error.
bool writeConfigFile(const QString &path, const ConfigFileContents &contents);

// Reads ten fields in order. A field ends at a comma or a line end and leading
// blanks are skipped, so a range typed as "1,5" comes back as two fields and
// shifts the ranges after it. Nothing when the file cannot be opened or ends
// before the tenth field: the caller fills no control before all ten are in.
std::optional<ConfigFileContents> readConfigFile(const QString &path);

// The same writer and reader on a file's bytes.
QByteArray configFileBytes(const ConfigFileContents &contents);
std::optional<ConfigFileContents> readConfigFileFrom(const QByteArray &bytes);

// The direction mask as written on line 1: four upper-case hex digits, more only
// when the value needs them.
QString maskText(std::int32_t mask);

// Line 1 read back as a hexadecimal number: one to eight hex digits of either
// case, taken as the bits of a signed 32-bit value (four digits give 0..65535).
// Nothing for an empty text, any other character, or more than 32 bits.
std::optional<std::int32_t> parseMask(const QString &text);

} // namespace tarv::ui::config

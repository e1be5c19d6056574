#include "ui/config/configfile.h"

#include "core/replacefile.h"
#include "core/settingsfile.h"

#include <QFile>

namespace tarv::ui::config {

QByteArray configFileBytes(const ConfigFileContents &contents)
{
    QByteArray data;
    auto line = [&data](const QString &text) {
        data += text.toLatin1(); // characters outside Latin-1 become '?'
        data += "\r\n";
    };
    line(contents.dioMaskText);
    line(contents.inputTypesText);
    for (const QString &range : contents.rangeTexts)
        line(range);
    return data;
}

bool writeConfigFile(const QString &path, const ConfigFileContents &contents)
{
    return core::replaceFile(path, configFileBytes(contents)).ok;
}

std::optional<ConfigFileContents> readConfigFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return readConfigFileFrom(file.read(core::MaxSettingsFileSize));
}

std::optional<ConfigFileContents> readConfigFileFrom(const QByteArray &bytes)
{
    // The configuration file follows the settings files' field rules, so their
    // reader serves; only whole texts are asked of it.
    core::SettingsReader reader(bytes);
    ConfigFileContents contents;
    if (!reader.readString(contents.dioMaskText) || !reader.readString(contents.inputTypesText))
        return std::nullopt;
    for (QString &range : contents.rangeTexts) {
        if (!reader.readString(range))
            return std::nullopt;
    }
    return contents;
}

QString maskText(std::int32_t mask)
{
    // Padded by the digits the text has, not by comparing the value: a mask with
    // bit 31 set is negative yet already has eight digits, and zeros put before
    // those would make a text that reads back as nothing.
    return QString::number(static_cast<std::uint32_t>(mask), 16).toUpper().rightJustified(4, u'0');
}

std::optional<std::int32_t> parseMask(const QString &text)
{
    if (text.isEmpty() || text.size() > 8)
        return std::nullopt;
    std::uint32_t value = 0;
    for (const QChar c : text) {
        int digit = 0;
        if (c >= u'0' && c <= u'9')
            digit = c.unicode() - u'0';
        else if (c >= u'A' && c <= u'F')
            digit = c.unicode() - u'A' + 10;
        else if (c >= u'a' && c <= u'f')
            digit = c.unicode() - u'a' + 10;
        else
            return std::nullopt;
        value = value * 16 + std::uint32_t(digit);
    }
    return static_cast<std::int32_t>(value);
}

} // namespace tarv::ui::config

// The card configuration file and its direction mask. The whole input is the file;
// the same bytes as text also go to the mask parser.

#include "fuzzsupport.h"
#include "ui/config/configfile.h"

#include <optional>

using namespace tarv;
using ui::config::ConfigFileContents;

namespace {

// One to eight hex digits as the bits of a signed 32-bit value.
std::optional<std::int32_t> expectedMask(const QString &text)
{
    if (text.isEmpty() || text.size() > 8)
        return std::nullopt;
    std::uint32_t value = 0;
    for (const QChar c : text) {
        const int d
            = c.unicode() < 128 ? int(QStringLiteral("0123456789abcdef").indexOf(c.toLower())) : -1;
        if (d < 0)
            return std::nullopt;
        value = value << 4 | std::uint32_t(d);
    }
    return static_cast<std::int32_t>(value);
}

void checkMask(const QString &text)
{
    const std::optional<std::int32_t> mask = ui::config::parseMask(text);
    FUZZ_REQUIRE(mask == expectedMask(text));
    if (!mask)
        return;
    // Whatever line 1 may hold, the text written for its value reads back the same.
    const QString written = ui::config::maskText(*mask);
    FUZZ_REQUIRE(written.size() >= 4 && written == written.toUpper());
    FUZZ_REQUIRE(ui::config::parseMask(written) == mask);
}

// A text the writer puts on a line of its own and the reader gives back whole.
bool survivesALine(const QString &text)
{
    for (const QChar c : text) {
        if (c == u',' || c == u'\r' || c == u'\n' || c == u'"')
            return false;
    }
    auto blank = [](QChar c) { return c == u' ' || c == u'\t'; };
    return text.isEmpty() || (!blank(text.front()) && !blank(text.back()));
}

void checkRoundTrip(const ConfigFileContents &contents)
{
    bool plain = survivesALine(contents.dioMaskText) && survivesALine(contents.inputTypesText);
    for (const QString &range : contents.rangeTexts)
        plain = plain && survivesALine(range);
    const auto again = ui::config::readConfigFileFrom(ui::config::configFileBytes(contents));
    if (!plain)
        return;
    FUZZ_REQUIRE(again.has_value());
    FUZZ_REQUIRE(again->dioMaskText == contents.dioMaskText);
    FUZZ_REQUIRE(again->inputTypesText == contents.inputTypesText);
    FUZZ_REQUIRE(again->rangeTexts == contents.rangeTexts);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    checkMask(QString::fromLatin1(bytes));
    const std::optional<ConfigFileContents> contents = ui::config::readConfigFileFrom(bytes);
    if (!contents)
        return 0;
    checkMask(contents->dioMaskText);
    checkRoundTrip(*contents);
    return 0;
}

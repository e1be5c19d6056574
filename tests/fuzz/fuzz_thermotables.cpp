// Thermocouple table files. The first byte sets how many values are needed (a few,
// or a real table's count); the rest is the file.

#include "core/acquisitionstate.h"
#include "core/thermotables.h"
#include "fuzzsupport.h"

#include <cmath>

using namespace tarv;
using fuzz::FuzzInput;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    FuzzInput in(data, size);
    const std::uint8_t choice = in.byte();
    const int needed = choice == 255 ? core::JTableCount : 1 + choice % 32;
    const QByteArray bytes = in.rest();

    static core::TcTable table;
    table.fill(7.0);
    const core::TableLoad r
        = core::parseThermocoupleTable(bytes, QStringLiteral("/tables/fuzz.tc"), needed, table);
    FUZZ_REQUIRE(r.path == QStringLiteral("/tables/fuzz.tc"));
    if (!r.ok) {
        FUZZ_REQUIRE(r.message.contains(QStringLiteral("fuzz.tc")));
        for (double v : table)
            FUZZ_REQUIRE(v == 7.0);
        return 0;
    }
    // The solvers rely on a strictly increasing table of millivolt values.
    FUZZ_REQUIRE(r.message.isEmpty());
    for (int k = 0; k < needed; ++k) {
        FUZZ_REQUIRE(std::isfinite(table[k]));
        FUZZ_REQUIRE(k == 0 || table[k] > table[k - 1]);
    }
    for (int k = needed; k < int(table.size()); ++k)
        FUZZ_REQUIRE(table[k] == 0.0);
    return 0;
}

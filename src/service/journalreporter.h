#pragma once

#include "acquisition/reporter.h"
#include "service/journal.h"

namespace tarv::service {

// The session's reports as journal lines: a report's title before its text, the
// priority from its severity.
class JournalReporter final : public acquisition::Reporter
{
public:
    explicit JournalReporter(Journal &journal)
        : m_journal(journal)
    { }

    void report(const acquisition::Report &report) override;
    void conversionFaults(const link::ChannelFailures &failures) override;
    void iniProblems(const QStringList &problems) override;

private:
    Journal &m_journal;
};

} // namespace tarv::service

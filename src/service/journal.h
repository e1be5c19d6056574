#pragma once

#include "core/prompts.h"

#include <QByteArray>
#include <QString>

#include <functional>

namespace tarv::service {

// The service's reports: one line per event on standard error, prefixed with its
// priority the way the system journal reads it ("<3>" error, "<4>" warning, "<6>"
// information) and without a time stamp, which the journal adds. Results meant
// for a script (--once) go to standard output instead.
class Journal
{
public:
    enum class Priority { Error = 3, Warning = 4, Info = 6 };
    using Sink = std::function<void(const QByteArray &)>;

    // Standard error and standard output, flushed line by line.
    Journal();
    // Other destinations, e.g. a test's lists.
    Journal(Sink reports, Sink output);

    void report(Priority priority, const QString &text);
    void error(const QString &text) { report(Priority::Error, text); }
    void warning(const QString &text) { report(Priority::Warning, text); }
    void info(const QString &text) { report(Priority::Info, text); }

    // A line on standard output.
    void output(const QString &line);

private:
    Sink m_reports;
    Sink m_output;
};

// What the logger and others would ask or tell an operator, as journal lines: a
// box's title and text become one line; nothing is ever chosen in a dialog.
class JournalPrompts final : public core::Prompts
{
public:
    explicit JournalPrompts(Journal &journal)
        : m_journal(journal)
    { }

    void message(const QString &text, const QString &title, core::PromptIcon icon) override;
    void notify(const QString &text, const QString &title, core::PromptIcon icon) override;
    std::optional<QString> saveFileName(const core::FileDialogOptions &) override { return {}; }
    std::optional<QString> openFileName(const core::FileDialogOptions &) override { return {}; }
    std::optional<std::uint32_t> chooseColor() override { return {}; }

private:
    Journal &m_journal;
};

} // namespace tarv::service

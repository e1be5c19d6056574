#pragma once

#include "acquisition/reporter.h"
#include "core/prompts.h"

#include <QObject>

namespace tarv::ui {

// The session's reports in the desktop program: conversion faults in the written
// error box, log write problems and tarvane.ini's bad values in boxes that do not
// block; port, card, task and broker states only in the status window, which reads
// them from the state and the outputs.
class DesktopReporter : public QObject, public acquisition::Reporter
{
    Q_OBJECT
public:
    DesktopReporter(core::Prompts &prompts, QObject *parent = nullptr)
        : QObject(parent)
        , m_prompts(prompts)
    { }

    void report(const acquisition::Report &report) override;
    void conversionFaults(const link::ChannelFailures &failures) override;
    void iniProblems(const QStringList &problems) override;

private:
    core::Prompts &m_prompts;
    // Conversion faults: what the last box showed, what came last, and whether a
    // box is open now (frames keep arriving under it).
    link::ChannelFailures m_failuresShown;
    link::ChannelFailures m_failuresLatest;
    bool m_failureBoxOpen = false;
};

} // namespace tarv::ui

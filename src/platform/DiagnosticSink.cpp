#include "platform/DiagnosticSink.h"

#include "platform/SeamSlot.h"

#include <cstdio>

namespace morvane {

void StderrDiagnosticSink::Write(std::string_view line)
{
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fputc('\n', stderr);
}

namespace {
SeamSlot<DiagnosticSink, StderrDiagnosticSink>& Slot()
{
    static SeamSlot<DiagnosticSink, StderrDiagnosticSink> slot;
    return slot;
}
} // namespace

DiagnosticSink& Diagnostics() { return Slot().Get(); }
DiagnosticSink* SetDiagnostics(DiagnosticSink* sink) { return Slot().Set(sink); }

} // namespace morvane

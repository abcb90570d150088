#include "platform/DiagnosticSink.h"

#include <cstdio>

namespace morvane {

void StderrDiagnosticSink::Write(std::string_view line)
{
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fputc('\n', stderr);
}

namespace {
StderrDiagnosticSink g_stderrSink;
DiagnosticSink* g_sink = &g_stderrSink;
} // namespace

DiagnosticSink& Diagnostics() { return *g_sink; }

DiagnosticSink* SetDiagnostics(DiagnosticSink* sink)
{
    DiagnosticSink* previous = g_sink;
    g_sink = sink ? sink : &g_stderrSink;
    return previous;
}

} // namespace morvane

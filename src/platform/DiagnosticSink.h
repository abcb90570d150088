#pragma once
// Diagnostic lines for developers (not shown to users). The process has one
// current sink; tests install a capturing one.
#include <string>
#include <string_view>
#include <vector>

namespace morvane {

class DiagnosticSink {
public:
    virtual ~DiagnosticSink() = default;
    virtual void Write(std::string_view line) = 0;
};

// Writes each line to stderr followed by a line break.
class StderrDiagnosticSink final : public DiagnosticSink {
public:
    void Write(std::string_view line) override;
};

// Keeps every line; for tests.
class CapturingDiagnosticSink final : public DiagnosticSink {
public:
    void Write(std::string_view line) override { lines.emplace_back(line); }
    std::vector<std::string> lines;
};

DiagnosticSink& Diagnostics();
// Installs a sink (nullptr restores the stderr sink); returns the previous one.
DiagnosticSink* SetDiagnostics(DiagnosticSink* sink);
inline void Diagnose(std::string_view line) { Diagnostics().Write(line); }

// Installs a sink for the lifetime of the object.
class ScopedDiagnostics {
public:
    explicit ScopedDiagnostics(DiagnosticSink& sink) : previous_(SetDiagnostics(&sink)) {}
    ~ScopedDiagnostics() { SetDiagnostics(previous_); }
    ScopedDiagnostics(const ScopedDiagnostics&) = delete;
    ScopedDiagnostics& operator=(const ScopedDiagnostics&) = delete;

private:
    DiagnosticSink* previous_;
};

} // namespace morvane

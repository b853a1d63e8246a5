#pragma once
// Trace file (when switched on for this executable) and the monthly debug message file.

#include <QString>
#include <QStringList>

// Fixes the executable base name, run tag, trace folder and Trace switch. Called once at start
// (before anything is logged); args are the command-line arguments (for /CALLER_ULMEX).
void TraceInit(const QString& programFile, const QStringList& args);

void DebugLog(const QString& message);
void DebugLogStart(const QString& name);
void DebugLogEnd(const QString& name);
void DebugLogMessage(const QString& tag, const QString& message);
QString DebugLogStartEnd(const QString& text);
void ProgramBanner();

// One trace line with the current indentation (nothing when tracing is off).
void TraceLine(const QString& message);

// Inspection for tests and callers that show the state.
QString TraceFileName();
QString DebugMessageFileName();
QString TraceRunTag();
bool TraceSwitchOn();
int TraceIndent();
void TraceResetIndent();

// Writes DebugLogStart(name) now and DebugLogEnd(name) when it leaves scope.
class TTraceScope {
public:
    explicit TTraceScope(QString name) : m_name(std::move(name)) { DebugLogStart(m_name); }
    ~TTraceScope() { DebugLogEnd(m_name); }
    TTraceScope(const TTraceScope&) = delete;
    TTraceScope& operator=(const TTraceScope&) = delete;

private:
    QString m_name;
};

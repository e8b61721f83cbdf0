#pragma once

#include "cli/cli_options.h"
#include "cli/trace.h"
#include "radar/radar_controller.h"
#include "serial/tapped_byte_link.h"

#include <QCommandLineParser>

namespace velto::cli {

// The radar window's boxes as options of the radar commands (--central-frequency, --band, ...),
// checked by the window's rules, plus the waits for monitoring replies and --trace.
class RadarOptions {
public:
    RadarOptions();
    void addTo(QCommandLineParser& parser) const;
    // Fills the controller's inputs; false with `error` set when a value is refused.
    bool apply(const QCommandLineParser& parser, radar::RadarController& controller, QString& error) const;
    // --trace is every command's own option now; the radar prints its frames as hex.
    bool trace(const QCommandLineParser&) const { return tracing(); }

private:
    struct Field {
        QCommandLineOption option;
        const radar::FieldRule* rule;
    };
    QList<Field> m_fields;
    QList<QCommandLineOption> m_blocks; // fft-start, fft-end, raw-start, raw-end
    IntOption m_spectrumWait;
    IntOption m_timeWait;
};

// --trace: every frame sent and chunk received, as hex on stderr, and our own frame coming back
// when Remove echo takes it out before the radar sees it.
void traceRadarLink(radar::RadarLink& link, serial::TappedByteLink& line);

} // namespace velto::cli

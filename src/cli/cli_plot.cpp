#include "cli/cli_plot.h"

#include "cli/cli_options.h"
#include "common/clock.h"
#include "trend/plot_painter.h"
#include "trend/trend_export.h"
#include "trend/trend_view.h"

#include <QDir>
#include <QFileInfo>

#include <cstring>

namespace velto::cli {

namespace {
const QString kPlotOptionName = QStringLiteral("plot");
}

QCommandLineOption CliPlot::option()
{
    return { kPlotOptionName,
        QStringLiteral("Write a picture of the readings over time to FILE (PNG) when the run ends."),
        QStringLiteral("FILE") };
}

bool CliPlot::wanted(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--plot") == 0
            || std::strncmp(argv[i], "--plot=", std::strlen("--plot=")) == 0)
            return true;
    }
    return false;
}

CliPlot::CliPlot(QString path, QString title)
    : m_path(std::move(path))
    , m_title(std::move(title))
    , m_feed(m_store, SystemClock::instance())
{
}

bool CliPlot::prepare() const
{
    const QFileInfo file(m_path);
    if (file.isDir()) {
        printError(QStringLiteral("Could not write %1: it is a folder").arg(m_path));
        return false;
    }
    if (!file.absoluteDir().exists()) {
        printError(QStringLiteral("Could not write %1: the folder %2 does not exist")
                       .arg(m_path, QDir::toNativeSeparators(file.absolutePath())));
        return false;
    }
    return true;
}

bool CliPlot::write() const
{
    trend::PlotRequest request;
    request.size = QSize(kWidth, kHeight);
    request.span = trend::TrendView {}.spanFor(m_store.firstTimeMs(), m_store.lastTimeMs());
    request.framed = true;
    request.title = m_title;
    for (int i = 0; i < m_store.seriesCount(); ++i) {
        request.series << trend::PlotSeries { &m_store.samples(i), m_store.info(i).label(),
            m_store.info(i).unit, trend::TrendStore::colourOf(i) };
    }
    if (const auto error = trend::savePicture(m_path, trend::renderPlot(trend::plotGeometry(request)))) {
        printError(*error);
        return false;
    }
    return true;
}

} // namespace velto::cli

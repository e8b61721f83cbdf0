#pragma once

#include "trend/poll_feed.h"
#include "trend/trend_store.h"

#include <QCommandLineOption>
#include <QString>

namespace velto::cli {

// --plot FILE.png: the trend of the run's readings, written when the command ends (also on an
// interrupt), with the picture the trend window saves.
class CliPlot {
public:
    static constexpr int kWidth = 1280;
    static constexpr int kHeight = 720;

    static QCommandLineOption option();
    // Whether a command line asks for a picture, before any parser has run: the program then needs
    // the font machinery of a GUI application.
    static bool wanted(int argc, char** argv);

    CliPlot(QString path, QString title);

    // The folder must be there before the run starts, so a long run does not end with nothing
    // written; prints the reason when it is not.
    bool prepare() const;
    trend::PollFeed& feed() { return m_feed; }
    const trend::TrendStore& store() const { return m_store; }
    // Writes the picture of everything the run read; prints the reason when it cannot.
    bool write() const;

private:
    QString m_path;
    QString m_title;
    trend::TrendStore m_store;
    trend::PollFeed m_feed;
};

} // namespace velto::cli

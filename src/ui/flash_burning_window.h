#pragma once

#include "common/batched_appender.h"
#include "flash/flash_timings.h"

#include <QByteArray>
#include <QString>
#include <QWidget>

#include <memory>

namespace Ui {
class FormFlashburning;
}

namespace velto {
class Prompter;
}

namespace velto::serial {
class ByteLink;
}

namespace velto::flash {
class FlashBurner;
struct FlashResult;
} // namespace velto::flash

namespace velto::ui {

// FormFlashburning: burns a HEX file into the sensor's flash through the bootloader, and erases or
// tests the flash on its own. The window shows what the burner reports; the burner does the work.
// A running operation is stopped by Stop, or by closing the window (Escape too) once the user has
// agreed to leave the flash incomplete.
class FlashBurningWindow : public QWidget {
    Q_OBJECT
public:
    // connected: a connection is up and the line is the byte link's; otherwise browsing and
    // burning stay impossible. converterProgram: the HEX converter run once per file choice.
    FlashBurningWindow(serial::ByteLink& link, Prompter& prompter, bool connected, QString converterProgram,
        const flash::FlashTimings& timings = {}, QWidget* parent = nullptr);
    ~FlashBurningWindow() override;

    Ui::FormFlashburning& form() { return *m_ui; }
    flash::FlashBurner& burner() { return *m_burner; }
    QString hexFilePath() const { return m_hexFilePath; }
    bool hexOrderPending() const { return m_hexOrderPending; }
    // Puts what the transcript batches onto DebugText now.
    void flushTranscript();

    static constexpr int kTranscriptBatchMs = BatchedAppender::kBatchMs;
    static constexpr int kTranscriptMaxLines = 100000;

    void Form_Load();
    void BrowseCommand_Click();
    void SendHEXFileCommand_Click();
    void FlashEraseCommand_Click();
    void FlashTestCommand_Click();
    void SetFlashButtonsEnabled(bool enabled);
    // Asks before erasing, then runs the command; "yes" or "no".
    QString ConfirmFlashCommand(const QByteArray& command);
    void StopCommand_Click();

signals:
    // The window was closed; the main window comes back.
    void unloaded();

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void wireBurner();
    void onBusyChanged(bool busy);
    void onFinished(const flash::FlashResult& result);
    // Says in the window whether the converter is there to run on the chosen file.
    void showConverterState();
    // Asks, in the words of a converter that cannot start, whether to burn the file unconverted.
    bool confirmBurningUnconverted();
    void appendTranscript(const QString& entry);
    void clearTranscript();

    serial::ByteLink& m_link;
    Prompter& m_prompter;
    std::unique_ptr<Ui::FormFlashburning> m_ui;
    flash::FlashBurner* m_burner;
    const bool m_connected;
    const QString m_converterProgram;
    QString m_hexFilePath;
    bool m_hexOrderPending = false;
    BatchedAppender m_transcript;
};

} // namespace velto::ui

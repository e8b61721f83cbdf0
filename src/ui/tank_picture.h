#pragma once

#include <QWidget>

namespace velto::ui {

// The tank outline with its liquid drawn as light-blue rows, 311 rows at full (pictTank).
class TankPicture : public QWidget {
    Q_OBJECT
public:
    static constexpr int kFullRows = 310;

    explicit TankPicture(QWidget* parent = nullptr);

    // Level and tank height as the boxes show them; text that is not a number draws nothing.
    void DrawTankLevel(const QString& levelText, const QString& tankHeightText);
    int filledRows() const { return m_rows; }

    QSize sizeHint() const override { return {190, 360}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int m_rows = -1; // -1: nothing drawn
};

} // namespace velto::ui

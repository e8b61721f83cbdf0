#pragma once

#include <QLine>
#include <QList>
#include <QWidget>

namespace velto::ui {

// pictTank: the tank outline with its liquid drawn as light-blue rows, 311 rows at full.
class TankPicture : public QWidget {
    Q_OBJECT
public:
    explicit TankPicture(QWidget* parent = nullptr);

    // Level and tank height as the boxes show them; text that is not a number only clears.
    void DrawTankLevel(const QString& levelText, const QString& tankHeightText);
    // Rows drawn by the last DrawTankLevel, 0 when the picture is clear.
    int filledRows() const { return int(m_lines.size() / 2); }

    QSize sizeHint() const override { return { 190, 360 }; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QList<QLine> m_lines;
};

} // namespace velto::ui

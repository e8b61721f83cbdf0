#pragma once

#include <QLineEdit>

namespace velto::ui {

// A read-only status box for texts that may be longer than the box: it shows their start, ending
// in an ellipsis, and the whole text as its tooltip. With the focus it is an ordinary line edit, so
// the text can still be scrolled, selected and copied.
class ElidingLineEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit ElidingLineEdit(QWidget* parent = nullptr);

    // The text as painted without the focus.
    QString shownText() const;

    // Makes the box at least wide enough for each of `samples` whole, in bold as in normal weight.
    void reserveRoomFor(const QStringList& samples);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QRect textArea() const;
};

} // namespace velto::ui

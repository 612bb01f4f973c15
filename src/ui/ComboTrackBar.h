#pragma once

#include <QLineEdit>

class QFrame;
class QSlider;

// A numeric box with a drop-down slider: whole numbers within a range, with a frequency above 0 only
// its multiples. It starts as designed, at 0 in 0..100. Raising the minimum pulls the value up to
// it; a maximum below the minimum is raised to the minimum.
//
// When typing is allowed, the text is committed with Enter or when the box loses focus: a number
// outside the range is clamped, a whole number is taken, a fraction inside the range stays as
// typed (the change handler refuses it), and text that is no number brings the previous value back.
// Change() is raised whenever the shown text changes: slider, keys, committed typing, range changes.
// Thread affinity: the UI thread.
class ComboTrackBar : public QLineEdit
{
    Q_OBJECT
public:
    explicit ComboTrackBar(QWidget* parent = nullptr);

    // In this order, as the range is set up: minimum, then maximum, then frequency.
    void setMinimum(int minimum);
    void setMaximum(int maximum);
    void setFrequency(int frequency);
    int minimum() const { return m_minimum; }
    int maximum() const { return m_maximum; }
    int frequency() const { return m_frequency; }

    // The last whole value shown (a fraction left in the box does not change it).
    int value() const { return m_value; }
    void setValue(int value);

    // Without typing the box takes no keyboard focus and changes only through its slider.
    void setTypingAllowed(bool allowed);

    void showSlider();
    QSlider* slider() const { return m_slider; }

Q_SIGNALS:
    void Change();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    void commitTyped();
    int snapped(int value) const;
    void showText(const QString& text);
    void syncSlider();

    int m_minimum = 0;
    int m_maximum = 100;
    int m_frequency = 0;
    int m_value = 0;
    QString m_shown;
    QFrame* m_popup;
    QSlider* m_slider;
};

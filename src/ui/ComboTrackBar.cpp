#include "ui/ComboTrackBar.h"

#include "ui/MainWindowRules.h"

#include <QAction>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QRegularExpressionValidator>
#include <QSignalBlocker>
#include <QSlider>
#include <QStyle>

#include <algorithm>
#include <cmath>

ComboTrackBar::ComboTrackBar(QWidget* parent) :
    QLineEdit(parent), m_popup(new QFrame(this, Qt::Popup)), m_slider(new QSlider(Qt::Horizontal, m_popup))
{
    // What a number can be typed with: digits, a sign and a decimal separator. Anything of these is
    // acceptable while typing, so leaving the box always commits.
    setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[+-]?\\d*[.,]?\\d*")), this));
    m_shown = QString::number(m_value);
    setText(m_shown);

    m_popup->setFrameShape(QFrame::StyledPanel);
    auto* popupLayout = new QHBoxLayout(m_popup);
    popupLayout->setContentsMargins(6, 4, 6, 4);
    popupLayout->addWidget(m_slider);
    m_slider->setObjectName(QStringLiteral("Slider"));
    syncSlider();
    connect(m_slider, &QSlider::valueChanged, this, &ComboTrackBar::setValue);

    QAction* drop = addAction(QIcon(QStringLiteral(":/icons/dropdown.png")), QLineEdit::TrailingPosition);
    drop->setToolTip(QStringLiteral("Slider"));
    connect(drop, &QAction::triggered, this, &ComboTrackBar::showSlider);
    connect(this, &QLineEdit::editingFinished, this, &ComboTrackBar::commitTyped);
}

void ComboTrackBar::setMinimum(int minimum)
{
    m_minimum = minimum;
    m_maximum = std::max(m_maximum, m_minimum);
    setValue(m_value);
}

void ComboTrackBar::setMaximum(int maximum)
{
    m_maximum = std::max(maximum, m_minimum);
    setValue(m_value);
}

void ComboTrackBar::setFrequency(int frequency)
{
    m_frequency = std::max(frequency, 0);
    setValue(m_value);
}

int ComboTrackBar::snapped(int value) const
{
    value = std::clamp(value, m_minimum, m_maximum);
    if (m_frequency > 0)
        value = int(std::nearbyint(double(value) / m_frequency)) * m_frequency;
    return std::clamp(value, m_minimum, m_maximum);
}

void ComboTrackBar::setValue(int value)
{
    m_value = snapped(value);
    showText(QString::number(m_value));
}

void ComboTrackBar::showText(const QString& text)
{
    const bool changed = text != m_shown;
    m_shown = text;
    if (QLineEdit::text() != text)
        setText(text);
    syncSlider();
    if (changed)
        Q_EMIT Change();
}

void ComboTrackBar::syncSlider()
{
    const QSignalBlocker quiet(m_slider);
    const int step = std::max(m_frequency, 1);
    m_slider->setRange(m_minimum, m_maximum);
    m_slider->setSingleStep(step);
    m_slider->setPageStep(step);
    m_slider->setTickInterval(m_frequency);
    m_slider->setTickPosition(m_frequency > 0 ? QSlider::TicksBelow : QSlider::NoTicks);
    m_slider->setValue(m_value);
}

void ComboTrackBar::commitTyped()
{
    if (isReadOnly())
        return;
    const MainWindowRules::TypedCommit commit
        = MainWindowRules::commitTypedNumber(text(), { m_minimum, m_maximum, m_frequency });
    if (!commit.accepted) {
        setText(m_shown);
        return;
    }
    bool whole = false;
    const int value = commit.shown.toInt(&whole);
    if (whole)
        m_value = snapped(value);
    showText(whole ? QString::number(m_value) : commit.shown);
}

void ComboTrackBar::setTypingAllowed(bool allowed)
{
    setReadOnly(!allowed);
    setFocusPolicy(allowed ? Qt::StrongFocus : Qt::NoFocus);
}

void ComboTrackBar::showSlider()
{
    m_popup->resize(std::max(width(), 160), m_popup->sizeHint().height());
    m_popup->move(mapToGlobal(QPoint(0, height())));
    m_popup->show();
    m_slider->setFocus();
}

void ComboTrackBar::keyPressEvent(QKeyEvent* event)
{
    const int step = std::max(m_frequency, 1);
    if (event->key() == Qt::Key_Up || event->key() == Qt::Key_Down) {
        setValue(m_value + (event->key() == Qt::Key_Up ? step : -step));
        return;
    }
    QLineEdit::keyPressEvent(event);
}

void ComboTrackBar::mousePressEvent(QMouseEvent* event)
{
    // A box that cannot be typed into opens its slider on a click anywhere.
    if (isReadOnly() && event->button() == Qt::LeftButton) {
        showSlider();
        return;
    }
    QLineEdit::mousePressEvent(event);
}

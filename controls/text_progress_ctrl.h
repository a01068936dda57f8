// CTextProgressCtrl: a progress bar that paints itself and prints its
// percentage, inverted where the bar has passed. Every progress-bar message
// is an operation with the same arguments and results.
#pragma once

#include "platform/qt/colour_qt.h"

#include <QString>
#include <QWidget>

class CTextProgressCtrl : public QWidget {
    Q_OBJECT

public:
    struct Range {
        int low = 0;
        int high = 0;
    };

    explicit CTextProgressCtrl(QWidget* parent = nullptr);

    int SetRange(unsigned short low, unsigned short high); // 0
    int SetRange32(int low, int high);                     // 0
    int GetRange(bool low, Range* range = nullptr) const;  // the asked end
    int SetPos(int position);                              // old position, or -1 without a window
    int DeltaPos(int amount);                              // what SetPos returned
    int StepIt();                                          // what SetPos returned
    int SetStep(int step);                                 // old step
    int GetPos() const { return m_position; }
    platform::COLORREF SetBarColor(platform::COLORREF colour);   // old colour
    platform::COLORREF SetBkColor(platform::COLORREF colour);    // old colour
    platform::COLORREF SetTextColour(platform::COLORREF colour); // old colour
    int ShowText(bool show);                                     // 0

    // A fixed text shown instead of the percentage when not empty.
    void SetWindowText(const QString& text);
    // Bars that grow upwards; they show no text.
    void SetVertical(bool vertical);
    bool IsVertical() const { return m_vertical; }

    // A window exists once the control sits in a dialog or has been shown.
    bool HasWindow() const;

    // What the bar prints: the fixed text, or the whole percent the position
    // stands at, computed on integers (57 / 100 * 100 is 56.99... in floating
    // point).
    QString DisplayText() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    int FilledWidth() const;
    void Invalidate();

    platform::COLORREF m_textColour = platform::CLR_DEFAULT;
    int m_position = 0;
    int m_step = 1;
    int m_rangeHigh = 100;
    int m_rangeLow = 0;
    QString m_text;
    bool m_showText = true;
    int m_lastBarWidth = -1;
    platform::COLORREF m_barColour = platform::CLR_DEFAULT;
    platform::COLORREF m_backColour = platform::CLR_DEFAULT;
    bool m_vertical = false;
};

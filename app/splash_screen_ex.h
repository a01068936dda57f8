// CSplashScreenEx: the borderless, top-most start-up picture, shaped to the
// picture's outline by a key colour and faded in and out where the desktop
// can fade windows.
#pragma once

#include <QFont>
#include <QImage>
#include <QRegion>
#include <QString>
#include <QWidget>
#include <memory>

// Style flags of CreateSplash.
inline constexpr unsigned SPLASH_FADE_IN = 0x01;
inline constexpr unsigned SPLASH_FADE_OUT = 0x02;
inline constexpr unsigned SPLASH_SHADOW = 0x04;
inline constexpr unsigned SPLASH_CENTRE_SCREEN = 0x08;
inline constexpr unsigned SPLASH_CENTRE_OWNER = 0x10; // only without SPLASH_CENTRE_SCREEN
inline constexpr unsigned SPLASH_HIDE_ON_INPUT = 0x20;

// Text-drawing format bits of the caption.
inline constexpr unsigned DT_CENTER = 0x01;
inline constexpr unsigned DT_RIGHT = 0x02;
inline constexpr unsigned DT_VCENTER = 0x04;
inline constexpr unsigned DT_BOTTOM = 0x08;
inline constexpr unsigned DT_WORDBREAK = 0x10;

// Pixels of this colour are cut out of the window.
inline constexpr QRgb kSplashKeyColour = qRgb(255, 0, 240);

class CSplashScreenEx : public QWidget {
    Q_OBJECT

public:
    // Fades `window` in (show) or out (hide) over `milliseconds`, returning
    // when done: the stand-in for AnimateWindow with the blend effect.
    using AnimateWindowFn = bool (*)(QWidget* window, int milliseconds, bool show);

    // Made on the heap: the object deletes itself once its window is gone.
    CSplashScreenEx();
    ~CSplashScreenEx() override;

    bool CreateSplash(QWidget* owner, unsigned style, int displayTime);
    bool SetPicture(const QString& path);
    void ShowSplash();
    // Hides the window, faded out with SPLASH_FADE_OUT where possible.
    void HideSplash();
    // Removes the window; the object follows as soon as events run.
    void DestroyWindow();
    void DrawSplash(QPainter& painter);
    void UseDefaultFont();

    // One rectangle, one pixel high, per maximal run of pixels in a row that
    // differ from `key`; their union. All key colour gives an empty region.
    static QRegion BuildShapeRegion(const QImage& picture, QRgb key);

    // The fader of this platform, null where windows cannot be made
    // translucent (then the window shows and hides at once).
    static AnimateWindowFn PlatformAnimateWindow();
    // Replaces what PlatformAnimateWindow finds (tests); returns the old one.
    static AnimateWindowFn SetAnimateWindowOverride(AnimateWindowFn fn, bool active);

    int TimerId() const { return m_timerId; }
    bool IsDestroyed() const { return m_destroyed; }

    AnimateWindowFn m_pfnAnimateWindow = nullptr;
    QWidget* m_ownerWnd = nullptr;
    QImage m_picture;
    std::unique_ptr<QFont> m_captionFont;
    QRegion m_shape;
    unsigned m_splashStyle = 0;
    int m_displayTime = 2000;
    QString m_caption;
    QRect m_captionRect;
    unsigned m_captionFormat = DT_CENTER | DT_VCENTER | DT_WORDBREAK;
    QColor m_captionColour = Qt::black;
    int m_pictureWidth = 0;
    int m_pictureHeight = 0;
    int m_windowLeft = 0;
    int m_windowTop = 0;

protected:
    void paintEvent(QPaintEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    bool event(QEvent* event) override;

private:
    int m_timerId = 0;
    bool m_destroyed = false;
};

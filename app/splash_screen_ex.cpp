#include "app/splash_screen_ex.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QImageReader>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QThread>
#include <QTimerEvent>
#include <vector>

namespace {

constexpr int kFadeInMs = 500;
constexpr int kFadeOutMs = 200;

// Blocks like the blend animation it stands for, but keeps painting.
bool FadeWindow(QWidget* window, int milliseconds, bool show) {
    QElapsedTimer clock;
    clock.start();
    window->setWindowOpacity(show ? 0.0 : 1.0);
    if (show)
        window->show();
    for (qint64 elapsed = 0; elapsed < milliseconds; elapsed = clock.elapsed()) {
        const double done = double(elapsed) / milliseconds;
        window->setWindowOpacity(show ? done : 1.0 - done);
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        QThread::msleep(10);
    }
    if (!show)
        window->hide();
    window->setWindowOpacity(1.0);
    return true;
}

struct AnimateOverride {
    bool active = false;
    CSplashScreenEx::AnimateWindowFn fn = nullptr;
};

AnimateOverride& Override() {
    static AnimateOverride value;
    return value;
}

Qt::Alignment CaptionAlignment(unsigned format) {
    Qt::Alignment align = (format & DT_CENTER)  ? Qt::AlignHCenter
                          : (format & DT_RIGHT) ? Qt::AlignRight
                                                : Qt::AlignLeft;
    align |= (format & DT_VCENTER)  ? Qt::AlignVCenter
             : (format & DT_BOTTOM) ? Qt::AlignBottom
                                    : Qt::AlignTop;
    return align;
}

} // namespace

CSplashScreenEx::AnimateWindowFn CSplashScreenEx::PlatformAnimateWindow() {
    if (Override().active)
        return Override().fn;
    // Only these platforms honour a top-level window's opacity.
    const QString platform = QGuiApplication::platformName();
    if (platform == QLatin1String("xcb") || platform == QLatin1String("windows") ||
        platform == QLatin1String("cocoa"))
        return &FadeWindow;
    return nullptr;
}

CSplashScreenEx::AnimateWindowFn CSplashScreenEx::SetAnimateWindowOverride(AnimateWindowFn fn,
                                                                           bool active) {
    const AnimateWindowFn previous = Override().active ? Override().fn : nullptr;
    Override() = AnimateOverride{active, fn};
    return previous;
}

CSplashScreenEx::CSplashScreenEx() : QWidget(nullptr) {
    m_pfnAnimateWindow = PlatformAnimateWindow();
    UseDefaultFont();
}

CSplashScreenEx::~CSplashScreenEx() {
    if (m_timerId != 0)
        killTimer(m_timerId);
}

void CSplashScreenEx::UseDefaultFont() {
    m_captionFont = std::make_unique<QFont>(QApplication::font());
}

bool CSplashScreenEx::CreateSplash(QWidget* owner, unsigned style, int displayTime) {
    m_ownerWnd = owner;
    m_caption.clear();
    m_displayTime = displayTime;
    m_splashStyle = style;

    Qt::WindowFlags flags = Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                            Qt::WindowDoesNotAcceptFocus;
    if (!(style & SPLASH_SHADOW))
        flags |= Qt::NoDropShadowWindowHint;
    // An owner that has no window yet (the main dialog under construction)
    // leaves the splash without parent.
    QWidget* parent = owner && owner->testAttribute(Qt::WA_WState_Created) ? owner : nullptr;
    setParent(parent, flags);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_NoSystemBackground);
    setGeometry(0, 0, 0, 0);
    winId();
    return windowHandle() != nullptr;
}

bool CSplashScreenEx::SetPicture(const QString& path) {
    QImageReader reader(path, "BMP");
    QImage picture;
    if (path.isEmpty() || !reader.read(&picture) || picture.isNull())
        return false;
    m_picture = picture.convertToFormat(QImage::Format_RGB32);
    m_pictureWidth = m_picture.width();
    m_pictureHeight = m_picture.height();
    m_captionRect = QRect(0, 0, m_pictureWidth, m_pictureHeight);

    if (m_splashStyle & SPLASH_CENTRE_SCREEN) {
        if (const QScreen* screen = QGuiApplication::primaryScreen()) {
            const QRect area = screen->availableGeometry();
            m_windowLeft = area.left() + (area.width() - m_pictureWidth) / 2;
            m_windowTop = area.top() + (area.height() - m_pictureHeight) / 2;
        }
    } else if ((m_splashStyle & SPLASH_CENTRE_OWNER) && m_ownerWnd) {
        const QRect owner = m_ownerWnd->frameGeometry();
        m_windowLeft = owner.left() + (owner.width() - m_pictureWidth) / 2;
        m_windowTop = owner.top() + (owner.height() - m_pictureHeight) / 2;
    }

    m_shape = BuildShapeRegion(m_picture, kSplashKeyColour);
    resize(m_pictureWidth, m_pictureHeight);
    setMask(m_shape);
    update();
    return true;
}

QRegion CSplashScreenEx::BuildShapeRegion(const QImage& picture, QRgb key) {
    const QImage image = picture.convertToFormat(QImage::Format_RGB32);
    const QRgb keyColour = key & RGB_MASK;
    std::vector<QRect> runs;
    for (int y = 0; y < image.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        int x = 0;
        while (x < image.width()) {
            while (x < image.width() && (row[x] & RGB_MASK) == keyColour)
                ++x;
            const int first = x;
            while (x < image.width() && (row[x] & RGB_MASK) != keyColour)
                ++x;
            if (x > first)
                runs.emplace_back(first, y, x - first, 1);
        }
    }
    // The runs come row by row and left to right without overlap: the banded
    // order a region is made from directly, without uniting them one by one.
    QRegion shape;
    if (!runs.empty())
        shape.setRects(runs.data(), int(runs.size()));
    return shape;
}

void CSplashScreenEx::ShowSplash() {
    setGeometry(m_windowLeft, m_windowTop, m_pictureWidth, m_pictureHeight);
    // A window without a picture stays invisible, as a window of size 0 would.
    if (m_pictureWidth > 0 && m_pictureHeight > 0) {
        if ((m_splashStyle & SPLASH_FADE_IN) && m_pfnAnimateWindow)
            m_pfnAnimateWindow(this, kFadeInMs, true);
        else
            show();
    }
    if (m_displayTime != 0)
        m_timerId = startTimer(m_displayTime);
}

void CSplashScreenEx::HideSplash() {
    // The fade-out runs events: a display timer that came due meanwhile would
    // start a second fade inside this one.
    if (m_timerId != 0) {
        killTimer(m_timerId);
        m_timerId = 0;
    }
    if (!isVisible())
        return;
    if ((m_splashStyle & SPLASH_FADE_OUT) && m_pfnAnimateWindow)
        m_pfnAnimateWindow(this, kFadeOutMs, false);
    else
        hide();
}

void CSplashScreenEx::DestroyWindow() {
    if (m_destroyed)
        return;
    m_destroyed = true;
    if (m_timerId != 0) {
        killTimer(m_timerId);
        m_timerId = 0;
    }
    hide();
    deleteLater();
}

void CSplashScreenEx::DrawSplash(QPainter& painter) {
    painter.drawImage(0, 0, m_picture);
    if (m_caption.isEmpty())
        return;
    painter.save();
    painter.setFont(*m_captionFont);
    painter.setPen(m_captionColour);
    int flags = int(CaptionAlignment(m_captionFormat));
    if (m_captionFormat & DT_WORDBREAK)
        flags |= Qt::TextWordWrap;
    painter.drawText(m_captionRect, flags, m_caption);
    painter.restore();
}

void CSplashScreenEx::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    DrawSplash(painter);
}

void CSplashScreenEx::timerEvent(QTimerEvent* event) {
    if (event->timerId() != m_timerId)
        return QWidget::timerEvent(event);
    HideSplash();
    DestroyWindow();
}

bool CSplashScreenEx::event(QEvent* event) {
    if (m_splashStyle & SPLASH_HIDE_ON_INPUT) {
        bool input = event->type() == QEvent::KeyPress;
        if (event->type() == QEvent::MouseButtonPress ||
            event->type() == QEvent::NonClientAreaMouseButtonPress) {
            const Qt::MouseButton button = static_cast<QMouseEvent*>(event)->button();
            input =
                button == Qt::LeftButton || button == Qt::RightButton || button == Qt::MiddleButton;
        }
        if (input) {
            HideSplash();
            DestroyWindow();
            return true;
        }
    }
    return QWidget::event(event);
}

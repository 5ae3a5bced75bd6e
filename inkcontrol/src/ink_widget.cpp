#include "ink_widget.h"

#include "ink_control.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImageReader>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPalette>
#include <QScreen>

namespace scribane {

namespace {

int buttonCode(Qt::MouseButton b) {
    switch (b) {
    case Qt::LeftButton:
        return 1;
    case Qt::RightButton:
        return 2;
    case Qt::MiddleButton:
        return 4;
    default:
        return 0;
    }
}

int buttonsHeld(Qt::MouseButtons b) {
    return (b & Qt::LeftButton ? 1 : 0) | (b & Qt::RightButton ? 2 : 0) |
           (b & Qt::MiddleButton ? 4 : 0);
}

int shiftState(Qt::KeyboardModifiers m) {
    return (m & Qt::ShiftModifier ? 1 : 0) | (m & Qt::ControlModifier ? 2 : 0) |
           (m & Qt::AltModifier ? 4 : 0);
}

// Holds a reference on the control while a handler runs, since an event sink may
// release the host's last reference from inside the event.
class Hold {
public:
    explicit Hold(InkControl* c) : c_(c) {
        if (c_)
            c_->AddRef();
    }
    ~Hold() {
        if (c_)
            c_->Release();
    }
    Hold(const Hold&) = delete;
    Hold& operator=(const Hold&) = delete;

private:
    InkControl* c_;
};

} // namespace

InkWidget::InkWidget(InkControl* control, QWidget* parent) : QWidget(parent), control_(control) {
    // Painting covers every pixel, so nothing needs erasing first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    // Mouse moves are reported with no button held too.
    setMouseTracking(true);
}

InkWidget::~InkWidget() {
    if (control_)
        control_->windowDestroyed();
}

void InkWidget::paintEvent(QPaintEvent* event) {
    if (!control_)
        return;
    if (frame_.size() != size())
        frame_ = QImage(size(), QImage::Format_RGB32);
    if (frame_.isNull())
        return;
    const QRect clip = event->region().boundingRect().intersected(rect());
    ScribaneSurface surface{reinterpret_cast<uint32_t*>(frame_.bits()),
                            frame_.width(),
                            frame_.height(),
                            LONG(frame_.bytesPerLine()),
                            {clip.left(), clip.top(), clip.right() + 1, clip.bottom() + 1}};
    control_->paintWindow(surface);
    QPainter painter(this);
    painter.drawImage(clip.topLeft(), frame_, clip);
}

void InkWidget::mousePressEvent(QMouseEvent* event) {
    Hold hold(control_);
    const QPoint p = event->position().toPoint();
    if (control_)
        control_->buttonDown(buttonCode(event->button()), shiftState(event->modifiers()), p.x(),
                             p.y());
}

void InkWidget::mouseDoubleClickEvent(QMouseEvent* event) {
    mousePressEvent(event);
}

void InkWidget::mouseMoveEvent(QMouseEvent* event) {
    Hold hold(control_);
    const QPoint p = event->position().toPoint();
    if (control_)
        control_->mouseMove(buttonsHeld(event->buttons()), shiftState(event->modifiers()), p.x(),
                            p.y());
}

void InkWidget::mouseReleaseEvent(QMouseEvent* event) {
    Hold hold(control_);
    const QPoint p = event->position().toPoint();
    if (control_)
        control_->buttonUp(buttonCode(event->button()), shiftState(event->modifiers()), p.x(),
                           p.y());
}

// ---------------------------------------------------------------------------------------

namespace {

constexpr int kMaxImageSide = 1024;
constexpr qint64 kMaxImageFileBytes = 64 << 20;

bool decodeWith(QImageReader& reader, std::vector<uint32_t>& pixels, int& width, int& height) {
    const QSize full = reader.size();
    if (full.isValid() && (full.width() > kMaxImageSide || full.height() > kMaxImageSide))
        reader.setScaledSize(full.scaled(kMaxImageSide, kMaxImageSide, Qt::KeepAspectRatio));
    QImage image = reader.read();
    if (image.isNull())
        return false;
    if (image.width() > kMaxImageSide || image.height() > kMaxImageSide)
        image = image.scaled(kMaxImageSide, kMaxImageSide, Qt::KeepAspectRatio);
    image = image.convertToFormat(QImage::Format_RGB32);
    if (image.isNull())
        return false;
    pixels.resize(size_t(image.width()) * size_t(image.height()));
    for (int y = 0; y < image.height(); ++y) {
        const auto* line = reinterpret_cast<const uint32_t*>(image.constScanLine(y));
        std::copy(line, line + image.width(), pixels.begin() + ptrdiff_t(y) * image.width());
    }
    width = image.width();
    height = image.height();
    return true;
}

} // namespace

bool decodeBackgroundBytes(const char* data, size_t size, std::vector<uint32_t>& pixels, int& width,
                           int& height) {
    if (!data || size == 0 || size > size_t(kMaxImageFileBytes))
        return false;
    QByteArray bytes = QByteArray::fromRawData(data, qsizetype(size));
    QBuffer buffer(&bytes);
    if (!buffer.open(QIODevice::ReadOnly))
        return false;
    QImageReader reader(&buffer);
    reader.setDecideFormatFromContent(true);
    return decodeWith(reader, pixels, width, height);
}

bool decodeBackgroundFile(const std::string& path, std::vector<uint32_t>& pixels, int& width,
                          int& height) {
    const QString name = QString::fromStdString(path);
    // Only regular files: opening a pipe or device could block for ever.
    if (!QFileInfo(name).isFile())
        return false;
    QFile file(name);
    if (file.open(QIODevice::ReadOnly) && file.size() <= kMaxImageFileBytes) {
        const QByteArray bytes = file.readAll();
        file.close();
        if (decodeBackgroundBytes(bytes.constData(), size_t(bytes.size()), pixels, width, height))
            return true;
    }
    // Content sniffing found nothing: let the file's name choose the format.
    QImageReader reader(name);
    if (QFileInfo(name).size() > kMaxImageFileBytes)
        return false;
    return decodeWith(reader, pixels, width, height);
}

void screenResolution(int32_t& x, int32_t& y) {
    x = y = 0;
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return;
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QSize px = screen->size();
    const int mmW = int(screen->physicalSize().width());
    const int mmH = int(screen->physicalSize().height());
    if (px.width() <= 0 || px.height() <= 0 || mmW <= 0 || mmH <= 0)
        return;
    x = int32_t(int64_t(px.width()) * 1000 / mmW);
    y = int32_t(int64_t(px.height()) * 1000 / mmH);
}

void applyPaletteColors(uint32_t* colors) {
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return;
    const QPalette p = QGuiApplication::palette();
    auto set = [&](int index, QPalette::ColorRole role) {
        colors[index] = p.color(QPalette::Active, role).rgb() & 0xFFFFFFu;
    };
    set(5, QPalette::Base);             // window
    set(6, QPalette::WindowText);       // window frame
    set(8, QPalette::Text);             // window text
    set(13, QPalette::Highlight);       // highlight
    set(14, QPalette::HighlightedText); // highlight text
    set(15, QPalette::Button);          // button face
    set(16, QPalette::Dark);            // button shadow
    set(18, QPalette::ButtonText);      // button text
    set(20, QPalette::Light);           // button highlight
    set(23, QPalette::ToolTipText);     // tooltip text
    set(24, QPalette::ToolTipBase);     // tooltip background
    colors[17] = p.color(QPalette::Disabled, QPalette::Text).rgb() & 0xFFFFFFu;
}

} // namespace scribane

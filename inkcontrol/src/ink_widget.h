// The control's window: a child widget that hands pointer input to the control and
// paints through the control's own raster painter.
#pragma once

#include <QImage>
#include <QWidget>

namespace scribane {

class InkControl;

class InkWidget final : public QWidget {
public:
    InkWidget(InkControl* control, QWidget* parent);
    ~InkWidget() override;
    // The control is going away; the widget only waits for its own deletion.
    void detach() { control_ = nullptr; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    InkControl* control_;
    QImage frame_; // kept between paints, the size of the window
};

// Decodes a background image within 1024 x 1024 pixels (larger ones are scaled down,
// keeping their proportions) into 0xffRRGGBB rows. False when nothing could be decoded.
bool decodeBackgroundBytes(const char* data, size_t size, std::vector<uint32_t>& pixels, int& width,
                           int& height);
bool decodeBackgroundFile(const std::string& path, std::vector<uint32_t>& pixels, int& width,
                          int& height);

// Screen resolution in pixels per metre, 0 and 0 when unknown.
void screenResolution(int32_t& x, int32_t& y);
// System colours of the running application's palette where one exists.
void applyPaletteColors(uint32_t* colors);

} // namespace scribane

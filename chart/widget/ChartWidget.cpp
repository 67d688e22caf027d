#include "ChartWidget.h"

#include "DevicePixels.h"
#include "ScopeExit.h"

#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#include <cmath>

namespace {

// The chart counts device pixels, the screen's own: its bitmap is as large as
// the control is on the screen, and is copied one to one, never scaled, at
// any device pixel ratio. Qt hands the control logical pixels.
int ToDevice(double logical, double ratio) { return static_cast<int>(std::lround(logical * ratio)); }

// The device pixels a control of this many logical pixels covers (a part of
// a pixel counts).
int DeviceExtent(int logical, double ratio) {
    return static_cast<int>(std::ceil(logical * ratio - 1e-9));
}

int ToLogical(int device, double ratio) { return static_cast<int>(std::lround(device / ratio)); }

QPoint DevicePoint(const QPointF& logical, double ratio) {
    return {ToDevice(logical.x(), ratio), ToDevice(logical.y(), ratio)};
}

TMouseButton ButtonOf(Qt::MouseButton b) {
    switch (b) {
    case Qt::RightButton: return mbRight;
    case Qt::MiddleButton: return mbMiddle;
    default: return mbLeft;
    }
}

TShiftState ShiftOf(Qt::KeyboardModifiers keys, Qt::MouseButtons buttons) {
    TShiftState s = 0;
    if (keys & Qt::ShiftModifier) s |= ssShift;
    if (keys & Qt::AltModifier) s |= ssAlt;
    if (keys & Qt::ControlModifier) s |= ssCtrl;
    if (buttons & Qt::LeftButton) s |= ssLeft;
    if (buttons & Qt::RightButton) s |= ssRight;
    if (buttons & Qt::MiddleButton) s |= ssMiddle;
    return s;
}

// The framework's cursor numbers (0 the control's default, negative the stock shapes).
Qt::CursorShape CursorShape(int cursor) {
    switch (cursor) {
    case -3: return Qt::CrossCursor;
    case -4: return Qt::IBeamCursor;
    case -6: return Qt::SizeBDiagCursor;
    case -7: return Qt::SizeVerCursor;
    case -8: return Qt::SizeFDiagCursor;
    case -9: return Qt::SizeHorCursor;
    case -10: return Qt::UpArrowCursor;
    case -11: return Qt::WaitCursor;
    case -12: return Qt::DragMoveCursor;
    case -13: case -18: return Qt::ForbiddenCursor;
    case -14: return Qt::SplitHCursor;
    case -15: return Qt::SplitVCursor;
    case -19: return Qt::BusyCursor;
    case -20: return Qt::WhatsThisCursor;
    case -21: return Qt::PointingHandCursor;
    case -22: return Qt::SizeAllCursor;
    default: return Qt::ArrowCursor;
    }
}

}  // namespace

TChartWidget::TChartWidget(QWidget* parent)
    : QWidget(parent), FOwned(std::make_unique<TChart>()), FChart(FOwned.get()) {
    Attach();
}

TChartWidget::TChartWidget(TChart& chart, QWidget* parent) : QWidget(parent), FChart(&chart) { Attach(); }

TChartWidget::~TChartWidget() {
    if (FChart->Host() == this) FChart->SetHost(nullptr);
    FChart->Canvas().SetControlCanvas(nullptr);
}

void TChartWidget::Attach() {
    // The chart paints every pixel: no erasing, no background of the system's.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    setAutoFillBackground(false);
    setMouseTracking(true);
    FAppliedPpi = DevicePixelsPerInch();
    FChart->Canvas().SetPixelsPerInch(FAppliedPpi);
    FChart->SetHost(this);
    BoundsChanged();
}

double TChartWidget::Ratio() const { return devicePixelRatioF(); }

int TChartWidget::DevicePixelsPerInch() const { return ToDevice(logicalDpiY(), Ratio()); }

void TChartWidget::ApplyBoundsToChart() {
    const double r = Ratio();
    const QRect g = geometry();
    const int left = ToDevice(g.x(), r), top = ToDevice(g.y(), r);
    const int width = DeviceExtent(g.width(), r), height = DeviceExtent(g.height(), r);
    if (FChart->Left() == left && FChart->Top() == top && FChart->Width() == width &&
        FChart->Height() == height)
        return;
    FApplyingBounds = true;
    FChart->SetBounds(left, top, width, height);
    FApplyingBounds = false;
}

void TChartWidget::InvalidateWindow() { update(); }

void TChartWidget::PaintNow() { repaint(); }

bool TChartWidget::ParentColor(TColor& color) const {
    const QWidget* p = parentWidget();
    if (!p) return false;
    const QColor c = p->palette().color(p->backgroundRole());
    color = static_cast<TColor>(c.red()) | (static_cast<TColor>(c.green()) << 8) |
            (static_cast<TColor>(c.blue()) << 16);
    return true;
}

void TChartWidget::SetCursor(int cursor) { setCursor(CursorShape(cursor)); }

void TChartWidget::BoundsChanged() {
    if (FApplyingBounds) return;
    const double r = Ratio();
    const int left = ToLogical(FChart->Left(), r), top = ToLogical(FChart->Top(), r);
    FApplyingBounds = true;
    setGeometry(left, top, ToLogical(FChart->Left() + FChart->Width(), r) - left,
                ToLogical(FChart->Top() + FChart->Height(), r) - top);
    FApplyingBounds = false;
}

bool TChartWidget::event(QEvent* e) {
    switch (e->type()) {
    case QEvent::PaletteChange:
    case QEvent::ApplicationPaletteChange:
    case QEvent::StyleChange:
        FChart->SystemColorsChanged();
        break;
    default:
        break;
    }
    return QWidget::event(e);
}

void TChartWidget::paintEvent(QPaintEvent*) {
    // The window may have moved to a screen of another ratio since.
    ApplyBoundsToChart();
    TChartCanvas& canvas = FChart->Canvas();
    if (const int ppi = DevicePixelsPerInch(); ppi != FAppliedPpi) {
        FAppliedPpi = ppi;
        canvas.SetPixelsPerInch(ppi);
        canvas.SetBufferDirty(true);
    }
    QPainter p(this);
    UseDevicePixels(p, Ratio());
    canvas.SetControlCanvas(&p);
    // The painter goes with this paint, also when a hook throws from it.
    const TScopeExit release([&canvas] { canvas.SetControlCanvas(nullptr); });
    FChart->Paint();
}

void TChartWidget::resizeEvent(QResizeEvent*) {
    if (!FApplyingBounds) ApplyBoundsToChart();
}

void TChartWidget::moveEvent(QMoveEvent*) {
    if (!FApplyingBounds) ApplyBoundsToChart();
}

void TChartWidget::mousePressEvent(QMouseEvent* e) {
    const QPoint p = DevicePoint(e->position(), Ratio());
    FChart->MouseDown(ButtonOf(e->button()), ShiftOf(e->modifiers(), e->buttons()), p.x(), p.y());
}

void TChartWidget::mouseDoubleClickEvent(QMouseEvent* e) {
    const QPoint p = DevicePoint(e->position(), Ratio());
    FChart->MouseDown(ButtonOf(e->button()), ShiftOf(e->modifiers(), e->buttons()) | ssDouble, p.x(), p.y());
}

void TChartWidget::mouseMoveEvent(QMouseEvent* e) {
    const QPoint p = DevicePoint(e->position(), Ratio());
    FChart->MouseMove(ShiftOf(e->modifiers(), e->buttons()), p.x(), p.y());
}

void TChartWidget::mouseReleaseEvent(QMouseEvent* e) {
    const QPoint p = DevicePoint(e->position(), Ratio());
    FChart->MouseUp(ButtonOf(e->button()), ShiftOf(e->modifiers(), e->buttons()), p.x(), p.y());
}

void TChartWidget::leaveEvent(QEvent*) { FChart->MouseLeave(); }

void TChartWidget::wheelEvent(QWheelEvent* e) {
    // Whole notches only; a fine-grained wheel adds up to them.
    FWheelRemainder += e->angleDelta().y();
    const int steps = FWheelRemainder / 120;
    FWheelRemainder -= steps * 120;
    const QPoint p = DevicePoint(e->position(), Ratio());
    if (steps != 0 && !FChart->MouseWheel(steps, ShiftOf(e->modifiers(), e->buttons()), p.x(), p.y())) e->ignore();
}

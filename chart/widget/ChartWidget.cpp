#include "ChartWidget.h"

#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#include "ScopeExit.h"

namespace {

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
    FChart->Canvas().SetPixelsPerInch(logicalDpiY());
    FChart->SetHost(this);
    FApplyingBounds = true;
    setGeometry(FChart->Left(), FChart->Top(), FChart->Width(), FChart->Height());
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
    FApplyingBounds = true;
    setGeometry(FChart->Left(), FChart->Top(), FChart->Width(), FChart->Height());
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
    if (FChart->Width() != width() || FChart->Height() != height()) {
        FApplyingBounds = true;
        FChart->SetBounds(x(), y(), width(), height());
        FApplyingBounds = false;
    }
    QPainter p(this);
    TChartCanvas& canvas = FChart->Canvas();
    canvas.SetControlCanvas(&p);
    // The painter goes with this paint, also when a hook throws from it.
    const TScopeExit release([&canvas] { canvas.SetControlCanvas(nullptr); });
    FChart->Paint();
}

void TChartWidget::resizeEvent(QResizeEvent*) {
    if (!FApplyingBounds) {
        FApplyingBounds = true;
        FChart->SetBounds(x(), y(), width(), height());
        FApplyingBounds = false;
    }
}

void TChartWidget::moveEvent(QMoveEvent*) {
    if (!FApplyingBounds) {
        FApplyingBounds = true;
        FChart->SetBounds(x(), y(), width(), height());
        FApplyingBounds = false;
    }
}

void TChartWidget::mousePressEvent(QMouseEvent* e) {
    const QPoint p = e->position().toPoint();
    FChart->MouseDown(ButtonOf(e->button()), ShiftOf(e->modifiers(), e->buttons()), p.x(), p.y());
}

void TChartWidget::mouseDoubleClickEvent(QMouseEvent* e) {
    const QPoint p = e->position().toPoint();
    FChart->MouseDown(ButtonOf(e->button()), ShiftOf(e->modifiers(), e->buttons()) | ssDouble, p.x(), p.y());
}

void TChartWidget::mouseMoveEvent(QMouseEvent* e) {
    const QPoint p = e->position().toPoint();
    FChart->MouseMove(ShiftOf(e->modifiers(), e->buttons()), p.x(), p.y());
}

void TChartWidget::mouseReleaseEvent(QMouseEvent* e) {
    const QPoint p = e->position().toPoint();
    FChart->MouseUp(ButtonOf(e->button()), ShiftOf(e->modifiers(), e->buttons()), p.x(), p.y());
}

void TChartWidget::leaveEvent(QEvent*) { FChart->MouseLeave(); }

void TChartWidget::wheelEvent(QWheelEvent* e) {
    // Whole notches only; a fine-grained wheel adds up to them.
    FWheelRemainder += e->angleDelta().y();
    const int steps = FWheelRemainder / 120;
    FWheelRemainder -= steps * 120;
    const QPoint p = e->position().toPoint();
    if (steps != 0 && !FChart->MouseWheel(steps, ShiftOf(e->modifiers(), e->buttons()), p.x(), p.y())) e->ignore();
}

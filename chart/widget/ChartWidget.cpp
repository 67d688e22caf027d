#include "ChartWidget.h"

#include "DevicePixels.h"
#include "ScopeExit.h"

#include "DateTime.h"
#include "Series.h"

#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#include <cmath>
#include <limits>

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

// A value as the window writes numbers: at most four decimals, no trailing
// zeros, '.'.
QString NumberText(double v) {
    if (!std::isfinite(v)) return QStringLiteral("—");
    QString t = QString::number(v, 'f', 4);
    while (t.endsWith(QLatin1Char('0'))) t.chop(1);
    if (t.endsWith(QLatin1Char('.'))) t.chop(1);
    if (t == QLatin1String("-0")) t = QStringLiteral("0");
    return t;
}

// The index of the point whose X is nearest to x, in a series whose X values
// ascend; -1 for none.
int NearestPoint(const TChartSeries& s, double x) {
    const int n = s.PointCount();
    if (n == 0) return -1;
    int lo = 0, hi = n;
    while (lo < hi) {
        const int mid = lo + (hi - lo) / 2;
        if (s.XValueAt(mid) < x) lo = mid + 1; else hi = mid;
    }
    if (lo == n) return n - 1;
    if (lo > 0 && x - s.XValueAt(lo - 1) <= s.XValueAt(lo) - x) return lo - 1;
    return lo;
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
    if (FReadout) FReadout->hide();
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
    if (FReadoutOn) MoveReadout(e->position().toPoint(), p, e->buttons());
}

void TChartWidget::SetValueReadout(bool on) {
    FReadoutOn = on;
    if (on && !FReadout) {
        FReadout = new QLabel(this);
        FReadout->setObjectName(QStringLiteral("ValueReadout"));
        FReadout->setAttribute(Qt::WA_TransparentForMouseEvents);
        FReadout->setTextFormat(Qt::PlainText);
        FReadout->setFrameShape(QFrame::Box);
        FReadout->setAutoFillBackground(true);
        FReadout->setBackgroundRole(QPalette::ToolTipBase);
        FReadout->setForegroundRole(QPalette::ToolTipText);
        FReadout->setMargin(3);
        FReadout->hide();
    }
    if (!on && FReadout) FReadout->hide();
}

QString TChartWidget::ReadoutText(int x, int y) const {
    const TRect& r = FChart->PlotRect();
    if (!PointInRect(r, x, y)) return {};
    QStringList lines;
    bool first = true;
    for (const TChartSeries* s : FChart->SeriesList()) {
        TChartAxis* h = s->GetHorizAxis();
        TChartAxis* v = s->GetVertAxis();
        if (!s->Active() || !h || !v) continue;
        const int i = NearestPoint(*s, h->PixelToValue(x));
        if (i < 0) continue;
        if (first) {
            // Where along the bottom axis: the nearest point's X.
            const double at = s->XValueAt(i);
            lines << (s->XValues()->DateTime()
                          ? QString::fromStdString(StampPattern("yyyy-mm-dd hh':'nn", at))
                          : QString::fromStdString(h->Title().Caption()) + QStringLiteral("  ") + NumberText(at));
            first = false;
        }
        const std::string& name = s->Title().empty() ? v->Title().Caption() : s->Title();
        lines << QString::fromStdString(name) + QStringLiteral("  ") + NumberText(s->YValueAt(i));
    }
    return lines.join(QLatin1Char('\n'));
}

void TChartWidget::MoveReadout(QPoint logical, QPoint device, Qt::MouseButtons buttons) {
    // Not while a button is held: a drag zooms or scrolls.
    const QString text = buttons == Qt::NoButton ? ReadoutText(device.x(), device.y()) : QString();
    if (text.isEmpty()) {
        if (FReadout->isVisible()) FReadout->hide();
        return;
    }
    if (FReadout->text() != text) {
        FReadout->setText(text);
        FReadout->adjustSize();
    }
    // Beside the pointer, turned to the other side near the edges.
    const QSize size = FReadout->size();
    int x = logical.x() + 14, y = logical.y() + 14;
    if (x + size.width() > width()) x = logical.x() - 8 - size.width();
    if (y + size.height() > height()) y = logical.y() - 8 - size.height();
    FReadout->move(std::max(0, x), std::max(0, y));
    if (!FReadout->isVisible()) FReadout->show();
    FReadout->raise();
}

void TChartWidget::mouseReleaseEvent(QMouseEvent* e) {
    const QPoint p = DevicePoint(e->position(), Ratio());
    FChart->MouseUp(ButtonOf(e->button()), ShiftOf(e->modifiers(), e->buttons()), p.x(), p.y());
}

void TChartWidget::leaveEvent(QEvent*) {
    FChart->MouseLeave();
    if (FReadout) FReadout->hide();
}

void TChartWidget::wheelEvent(QWheelEvent* e) {
    // Whole notches only; a fine-grained wheel adds up to them.
    FWheelRemainder += e->angleDelta().y();
    const int steps = FWheelRemainder / 120;
    FWheelRemainder -= steps * 120;
    const QPoint p = DevicePoint(e->position(), Ratio());
    if (steps != 0 && !FChart->MouseWheel(steps, ShiftOf(e->modifiers(), e->buttons()), p.x(), p.y())) e->ignore();
}

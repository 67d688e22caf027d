// The line series: settings, shown range, point-by-point drawing and the room
// it asks of the axes.

#include "Series.h"

#include "GallopSearch.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

const char* const PointerSizeMessage = "Pointer size must be greater than zero";

void Raise(int& margin, int amount) {
    if (amount > margin) margin = amount;
}

void CopyPen(TChartPen& to, const TChartPen& from) {
    to.SetColor(from.Color());
    to.SetWidth(from.Width());
    to.SetStyle(from.Style());
    to.SetMode(from.Mode());
    to.SetVisible(from.Visible());
    to.SetSmallDots(from.SmallDots());
    to.SetSmallSpace(from.SmallSpace());
    to.SetEndStyle(from.EndStyle());
}

void CopyBrush(TChartBrush& to, const TChartBrush& from) {
    to.SetColor(from.Color());
    to.SetStyle(from.Style());
    if (!from.Image().isNull() || !to.Image().isNull()) to.SetImage(from.Image());
}

} // namespace

// ---------------------------------------------------------------------------
// TSeriesPointer

TSeriesPointer::TSeriesPointer(TCustomSeries* owner)
    : TChartCustomShapeBrushPen(owner), FOwner(owner), FGradient(owner) {}

void TSeriesPointer::SetHorizSize(int value) {
    if (value <= 0) throw ChartException(PointerSizeMessage);
    Store(FHorizSize, value);
}

void TSeriesPointer::SetVertSize(int value) {
    if (value <= 0) throw ChartException(PointerSizeMessage);
    Store(FVertSize, value);
}

void TSeriesPointer::Assign(const TSeriesPointer& source) {
    if (&source == this) return;
    auto& src = const_cast<TSeriesPointer&>(source); // the base offers no const brush
    SetVisible(source.Visible());
    SetStyle(source.FStyle);
    SetHorizSize(source.FHorizSize);
    SetVertSize(source.FVertSize);
    SetInflateMargins(source.FInflateMargins);
    SetDraw3D(source.FDraw3D);
    SetDark3D(source.FDark3D);
    SetTransparency(source.FTransparency);
    CopyBrush(Brush(), src.Brush());
    CopyPen(Pen(), source.Pen());
    FGradient.SetVisible(source.FGradient.Visible());
    FGradient.SetStartColor(source.FGradient.StartColor());
    FGradient.SetEndColor(source.FGradient.EndColor());
    FGradient.SetDirection(source.FGradient.Direction());
}

// ---------------------------------------------------------------------------
// TCustomSeries: settings

TCustomSeries::TCustomSeries() : FPointer(this), FOutLine(this), FShadow(this) {}

void TCustomSeries::SetStairs(bool value) {
    if (FStairs == value) return;
    FStairs = value;
    Repaint();
}

void TCustomSeries::SetInvertedStairs(bool value) {
    if (FInvertedStairs == value) return;
    FInvertedStairs = value;
    Repaint();
}

void TCustomSeries::SetColorEachLine(bool value) {
    if (FColorEachLine == value) return;
    FColorEachLine = value;
    Repaint();
}

void TCustomSeries::Assign(const TCustomSeries& source) {
    if (&source == this) return;
    FStairs = source.FStairs;
    FInvertedStairs = source.FInvertedStairs;
    FColorEachLine = source.FColorEachLine;
    FDrawsLine = source.FDrawsLine;
    FDrawsArea = source.FDrawsArea;
    LineHeight = source.LineHeight;
    LineBrush = source.LineBrush;
    Dark3D = source.Dark3D;
    ClickableLine = source.ClickableLine;
    Stacked = source.Stacked;
    Transparency = source.Transparency;
    FPointer.Assign(source.FPointer);
    CopyPen(LinePen(), source.LinePen());
    CopyPen(FOutLine, source.FOutLine);
    Repaint();
}

TLineSeries::TLineSeries() {
    FDrawsLine = true;
    FDrawsArea = false;
    // A line series shows the line, not markers, unless asked to.
    Pointer().SetVisible(false);
}

void TLineSeries::Assign(const TCustomSeries& source) {
    TCustomSeries::Assign(source);
    FDrawsLine = true;
    FDrawsArea = false;
}

// ---------------------------------------------------------------------------
// TCustomSeries: axes

bool TCustomSeries::DrawForward() const {
    // Points go from the left of the chart to its right: backwards on an
    // inverted axis.
    const TChartAxis* axis = YIsValue ? GetHorizAxis() : GetVertAxis();
    return !(axis && axis->Inverted());
}

int TCustomSeries::PointXPixel(int index) const {
    const TChartAxis* axis = GetHorizAxis();
    return axis ? axis->ValueToPixel(XValues()->Value(index)) : 0;
}

int TCustomSeries::PointYPixel(int index) const {
    const TChartAxis* axis = GetVertAxis();
    return axis ? axis->ValueToPixel(YValues()->Value(index)) : 0;
}

void TCustomSeries::HorizMargins(int& left, int& right) {
    left = right = 0;
    if (FPointer.Visible() && FPointer.InflateMargins()) {
        Raise(left, FPointer.HorizSize() + 1);
        Raise(right, FPointer.HorizSize() + 1);
    }
    if (FStairs) {
        Raise(left, LinePen().Width());
        Raise(right, LinePen().Width());
    }
    if (FOutLine.Visible()) {
        Raise(left, FOutLine.Width());
        Raise(right, FOutLine.Width());
    }
}

void TCustomSeries::VertMargins(int& top, int& bottom) {
    top = bottom = 0;
    if (FPointer.Visible() && FPointer.InflateMargins()) {
        Raise(top, FPointer.VertSize() + 1);
        Raise(bottom, FPointer.VertSize() + 1);
    }
    if (FStairs) {
        Raise(top, LinePen().Width());
        Raise(bottom, LinePen().Width());
    }
    if (FOutLine.Visible()) {
        Raise(top, FOutLine.Width());
        Raise(bottom, FOutLine.Width());
    }
}

// ---------------------------------------------------------------------------
// TCustomSeries: shown range

void TCustomSeries::ComputeShownRange() {
    FirstShownIndex = -1;
    LastShownIndex = -1;
    const int n = PointCount();
    if (n == 0) return;

    const auto* chart = dynamic_cast<const TCustomAxisPanel*>(ParentChart());
    const TChartAxis* axis = GetHorizAxis();
    // Positions on the vertical axis (a series whose X is the value) are not
    // narrowed: such a series shows all its points.
    if (XValues()->Order == loNone || !YIsValue || !chart || !axis) {
        FirstShownIndex = 0;
        LastShownIndex = n - 1;
        return;
    }

    const TRect& plot = chart->PlotRect();
    const bool inverted = axis->Inverted();
    const double lo = axis->PixelToValue(inverted ? plot.Right : plot.Left);
    const double hi = axis->PixelToValue(inverted ? plot.Left : plot.Right);
    const double* x = XValues()->ValueArray();

    // The first point at or beyond the left edge, and the first at or beyond
    // the right one (the segment leaving the chart is drawn, and the clip cuts
    // it). Ascending values are searched; descending ones hold the first
    // point at or beyond the left edge at their start or nowhere.
    const bool ascending = XValues()->Order == loAscending;
    int first;
    if (ascending)
        first = static_cast<int>(std::lower_bound(x, x + n, lo) - x);
    else
        for (first = 0; first < n && x[first] < lo;)
            ++first;
    if (first == n) return; // everything lies before the visible range

    int last;
    if (!(x[n - 1] > hi)) {
        last = n - 1;
    } else if (ascending) {
        last = static_cast<int>(std::lower_bound(x + first, x + n - 1, hi) - x);
    } else {
        last = first;
        while (last < n - 1 && x[last] < hi)
            ++last;
    }
    FirstShownIndex = first;
    LastShownIndex = last;
}

// ---------------------------------------------------------------------------
// TCustomSeries: drawing

// What a pass needs, fetched once.
struct TCustomSeries::TDrawPass {
    TChartCanvas* Canvas = nullptr;
    const TChartAxis* Horiz = nullptr;
    const TChartAxis* Vert = nullptr;
    const double* X = nullptr;
    const double* Y = nullptr;
    // The stored point colours (nullptr: all automatic) and how many there are.
    const TColor* Colors = nullptr;
    int ColorCount = 0;
    TColor SeriesColor = clDefault;
    bool ColorEachPoint = false;
    // No X value below the one before it, none that is no number.
    bool XRising = false;
    bool Forward = true;
    int FirstOfPass = -1, LastOfPass = -1;
    // The column where the first shown point's line enters the chart.
    int EdgeColumn = 0;
    bool PointerVisible = false;

    TColor ColorAt(const TCustomSeries& s, int i) const {
        const TColor stored = i < ColorCount ? Colors[i] : clDefault;
        if (stored != clDefault) return stored;
        return ColorEachPoint ? s.PaletteColor(i) : SeriesColor;
    }
    bool IsNull(const TCustomSeries& s, int i) const { return ColorAt(s, i) == clNone; }

    // Pixels through the axes' mappings, asked as rarely as the result allows.
    // A mapping is monotone: when two values give one pixel, every value between
    // them gives it too. So each axis keeps the range of values known to give
    // its last pixel, and a value that falls outside it looks ahead along the
    // pass (LastHolding, from as far as the last run reached) to widen the
    // range. The neighbouring points of a dense curve mostly share a column or
    // a row: a run of n such points costs at most about 2 log2 n mappings, a
    // run as long as the last one two, a point on a pixel of its own one (the
    // failed look-ahead is remembered).
    // Not on a logarithmic axis, whose values at or below zero leave the order.
    struct TPixelCache {
        const TChartAxis* Axis = nullptr;
        const double* Values = nullptr;
        bool Enabled = false, Valid = false, MemoValid = false;
        double Low = 0, High = 0, MemoValue = 0;
        int Pixel = 0, MemoPixel = 0;
        unsigned long long Hint = 1;

        void Reset(const TChartAxis* axis, const double* values) {
            Axis = axis;
            Values = values;
            Enabled = !axis->Logarithmic();
            Valid = MemoValid = false;
            Hint = 1;
        }
        bool Known(double v) const { return Valid && v >= Low && v <= High; }
        int Raw(double v) {
            if (MemoValid && v == MemoValue) return MemoPixel;
            return Axis->ValueToPixel(v);
        }
        // Whether w gives the current pixel; widens the known range if so.
        bool Joins(double w) {
            if (Known(w)) return true;
            const int q = Raw(w);
            if (q == Pixel && w == w) {
                Low = std::min(Low, w);
                High = std::max(High, w);
                return true;
            }
            MemoValid = true;
            MemoValue = w;
            MemoPixel = q;
            return false;
        }
        // The pixel of point i; `ahead` points follow it in the pass, in
        // direction dir.
        int Map(int i, int dir, int ahead) {
            const double v = Values[i];
            if (!Enabled) return Axis->ValueToPixel(v);
            if (Known(v)) return Pixel;
            const int p = Raw(v);
            if (v != v) return p; // a value that is no number has no place in the order
            if (Valid && p == Pixel) {
                Low = std::min(Low, v);
                High = std::max(High, v);
            } else {
                Valid = true;
                Low = High = v;
                Pixel = p;
            }
            // The search starts where the last run ended: runs of a smooth
            // curve are much alike.
            const unsigned long long last =
                LastHolding(static_cast<unsigned long long>(ahead) + 1, Hint, [&](unsigned long long s) {
                    return Joins(Values[i + dir * static_cast<long long>(s)]);
                });
            Hint = last > 0 ? last : 1;
            return p;
        }
    };
    TPixelCache XCache, YCache;
    int Dir = 1;

    // Points of the pass after i.
    // Whether mapping a point looks ahead along the pass for the points that
    // share its pixel (pointless where runs are found otherwise).
    bool LookAhead = true;
    int Ahead(int i) const { return LookAhead ? (LastOfPass - i) * Dir : 0; }
    int XPixel(int i) { return XCache.Map(i, Dir, Ahead(i)); }
    int YPixel(int i) { return YCache.Map(i, Dir, Ahead(i)); }
};

bool TCustomSeries::BeginPass(TDrawPass& pass) const {
    auto* chart = dynamic_cast<TCustomAxisPanel*>(ParentChart());
    if (!chart || !GetHorizAxis() || !GetVertAxis()) return false;
    pass.Canvas = &chart->Canvas();
    pass.Horiz = GetHorizAxis();
    pass.Vert = GetVertAxis();
    pass.X = XValues()->ValueArray();
    pass.Y = YValues()->ValueArray();
    if (const std::vector<TColor>* colors = PointColors()) {
        pass.Colors = colors->data();
        pass.ColorCount = static_cast<int>(colors->size());
    }
    pass.SeriesColor = SeriesColor();
    pass.ColorEachPoint = ColorEachPoint();
    pass.XRising = XValues()->Rising();
    pass.Forward = DrawForward();
    pass.FirstOfPass = pass.Forward ? FirstShownIndex : LastShownIndex;
    pass.LastOfPass = pass.Forward ? LastShownIndex : FirstShownIndex;
    pass.Dir = pass.Forward ? 1 : -1;
    pass.XCache.Reset(pass.Horiz, pass.X);
    pass.YCache.Reset(pass.Vert, pass.Y);
    const TRect& plot = chart->PlotRect();
    pass.EdgeColumn = pass.Horiz->Inverted() ? plot.Right : plot.Left;
    pass.PointerVisible = FPointer.Visible();
    return true;
}

void TCustomSeries::DrawAllPoints() {
    // A range left from before the points changed is not drawn from.
    if (FirstShownIndex < 0 || LastShownIndex < FirstShownIndex || LastShownIndex >= PointCount())
        return;
    TDrawPass pass;
    if (!BeginPass(pass)) return;
    const int first = pass.FirstOfPass, last = pass.LastOfPass, dir = pass.Dir;
    DrawPointIn(pass, first);
    if (first == last) return;
    // Most points of a dense curve repeat the previous point's pixel and
    // colour: between the ends of the pass, with no pointers to paint, such a
    // point changes nothing and is passed over here.
    const bool pointers = pass.PointerVisible;
    // With one colour for all points the test is on the values alone, and a
    // run of such points is swept over without a call.
    const bool oneColour = pass.ColorCount == 0 && !pass.ColorEachPoint;
    const double* const x = pass.X;
    const double* const y = pass.Y;
    // A solid one-pixel line's pixels in one column are the same however many
    // points go up and down there: a long noisy record is drawn column by
    // column, not point by point.
    const TChartPen& pen = LinePen();
    const bool columnRuns = ColumnRuns && oneColour && !pointers && FDrawsLine && pen.Width() <= 1 &&
                            pen.Style() == psSolid && pen.Mode() == pmCopy;
    // X that never fall allow a column's points to be found by bisection.
    const bool risingRuns = columnRuns && pass.XRising && pass.XCache.Enabled && pass.YCache.Enabled;
    if (risingRuns) pass.LookAhead = false;
    unsigned long long hint = 0;
    for (int i = first + dir; i != last; i += dir) {
        if (pointers) {
            DrawPointIn(pass, i);
            continue;
        }
        if (risingRuns) {
            if (PrevColor != pass.SeriesColor || !DrawRisingRun(pass, i, hint)) DrawPointIn(pass, i);
            continue;
        }
        const TDrawPass::TPixelCache &xs = pass.XCache, &ys = pass.YCache;
        if (oneColour && PrevColor == pass.SeriesColor && xs.Valid && xs.Pixel == PrevX && ys.Valid && ys.Pixel == PrevY) {
            const double xl = xs.Low, xh = xs.High, yl = ys.Low, yh = ys.High;
            while (i != last && x[i] >= xl && x[i] <= xh && y[i] >= yl && y[i] <= yh) i += dir;
            if (i == last) break;
        } else if (xs.Known(x[i]) && xs.Pixel == PrevX && ys.Known(y[i]) && ys.Pixel == PrevY &&
                   pass.ColorAt(*this, i) == PrevColor) {
            continue;
        }
        if (columnRuns && PrevColor == pass.SeriesColor && DrawColumnRun(pass, i)) continue;
        DrawPointIn(pass, i);
    }
    DrawPointIn(pass, last);
}

namespace {

} // namespace

bool TCustomSeries::DrawColumnRun(TDrawPass& pass, int& index) {
    const int column = PrevX;
    const int stop = pass.LastOfPass, dir = pass.Dir;
    const double* const x = pass.X;
    const double* const y = pass.Y;
    const TDrawPass::TPixelCache& xs = pass.XCache;
    // Values known to give this column: the mapping is monotone, so every
    // value between two of them gives it too. The column's first point left
    // the cache holding the values found there by looking ahead.
    const bool monotone = xs.Enabled && pass.YCache.Enabled;
    double xLow = 1, xHigh = 0; // empty
    if (monotone && xs.Valid && xs.Pixel == column) {
        xLow = xs.Low;
        xHigh = xs.High;
    }
    auto widen = [&](double v) {
        if (xLow > xHigh) {
            xLow = xHigh = v;
        } else {
            xLow = std::min(xLow, v);
            xHigh = std::max(xHigh, v);
        }
    };
    if (index == stop) return false;

    // The rows of a run's points other than its last: with a monotone
    // vertical mapping their extremes are the rows of the lowest and highest
    // value, so the values are compared and only those two mapped. A value
    // that is no number has the axis' centre for its row.
    double yLow = HUGE_VAL, yHigh = -HUGE_VAL;
    bool noNumber = false;
    int low = PrevY, high = PrevY, count = 0, j = index;
    // Any order: point by point, comparing where the values allow.
    for (; j != stop; j += dir) {
        const double v = x[j];
        if (!(v >= xLow && v <= xHigh)) {
            if (pass.Horiz->ValueToPixel(v) != column) break;
            if (monotone && v == v) widen(v);
        }
        if (count > 0) {
            // The previous point of the run is not its last.
            const double w = y[j - dir];
            if (!monotone) {
                const int r = pass.Vert->ValueToPixel(w);
                low = std::min(low, r);
                high = std::max(high, r);
            } else if (w < yLow || w > yHigh) {
                yLow = std::min(yLow, w);
                yHigh = std::max(yHigh, w);
            } else if (w != w) {
                noNumber = true;
            }
        }
        ++count;
    }
    if (count < 2) return false;
    if (monotone) RowsOf(pass, yLow, yHigh, noNumber, low, high);
    DrawColumnSpan(pass, low, high, j - dir);
    index = j - dir;
    return true;
}

void TCustomSeries::RowsOf(const TDrawPass& pass, double yLow, double yHigh, bool noNumber, int& low, int& high) {
    if (yLow <= yHigh) {
        const int r0 = pass.Vert->ValueToPixel(yLow), r1 = pass.Vert->ValueToPixel(yHigh);
        low = std::min({low, r0, r1});
        high = std::max({high, r0, r1});
    }
    if (noNumber) {
        const int r = pass.Vert->ValueToPixel(std::numeric_limits<double>::quiet_NaN());
        low = std::min(low, r);
        high = std::max(high, r);
    }
}

bool TCustomSeries::DrawRisingRun(TDrawPass& pass, int& index, unsigned long long& hint) {
    const int column = PrevX, stop = pass.LastOfPass, dir = pass.Dir;
    const double* const x = pass.X;
    if (index == stop || pass.Horiz->ValueToPixel(x[index]) != column) return false;
    // X never falls along the points, so along the pass the column's points
    // are one stretch: it ends at the last value the column holds, found once
    // through the mapping, and the stretch by comparing values alone.
    const bool up = dir > 0;
    const double edge = pass.Horiz->Scale().PixelEdgeValue(column, x[index], up);
    const auto ahead = static_cast<unsigned long long>(static_cast<long long>(stop - index) * dir);
    // Columns of a long record hold much alike numbers of points.
    const unsigned long long lastOffset = LastHolding(ahead, hint, [&](unsigned long long d) {
        const double v = x[index + dir * static_cast<long long>(d)];
        return up ? v <= edge : v >= edge;
    });
    hint = lastOffset;
    const int count = static_cast<int>(lastOffset) + 1;
    if (count < 2) return false;
    const int j = index + dir * count;
    // The rows of the run's points other than its last.
    double yLow = HUGE_VAL, yHigh = -HUGE_VAL;
    bool noNumber = false;
    YValues()->Extremes(up ? index : j + 2, count - 1, yLow, yHigh, noNumber);
    int low = PrevY, high = PrevY;
    RowsOf(pass, yLow, yHigh, noNumber, low, high);
    DrawColumnSpan(pass, low, high, j - dir);
    index = j - dir;
    return true;
}

void TCustomSeries::DrawColumnSpan(TDrawPass& pass, int low, int high, int lastIndex) {
    const int column = PrevX;
    const int end = pass.Vert->ValueToPixel(pass.Y[lastIndex]);
    // Segments leave out their end pixel: the path covers the column from low
    // to high, and the last row only where the point-by-point path reached it
    // before its end.
    const bool highFirst = end < low || end == high;
    const int a = highFirst ? high : low, b = highFirst ? low : high;
    const TColor c = pass.SeriesColor;
    Segment(pass, c, column, PrevY, column, a);
    Segment(pass, c, column, a, column, b);
    Segment(pass, c, column, b, column, end);
    PrevY = end;
}

void TCustomSeries::DrawPoint(int index) {
    if (index < 0 || index >= PointCount()) return;
    TDrawPass pass;
    if (!BeginPass(pass)) return;
    pass.Dir = 0; // a point on its own: nothing to look ahead at
    DrawPointIn(pass, index);
}

int TCustomSeries::EdgeRow(TDrawPass& pass, int i) const {
    // A stair leaves a point horizontally: at the edge it is still at the
    // height of the point before.
    if (FStairs || pass.X[i] == pass.X[i - 1]) return pass.YPixel(i - 1);
    using real = long double;
    const real xe = pass.Horiz->PixelToValue(pass.EdgeColumn);
    const real x0 = pass.X[i - 1], x1 = pass.X[i];
    real y0 = pass.Y[i - 1], y1 = pass.Y[i];
    const bool logarithmic = pass.Vert->Logarithmic();
    if (logarithmic) {
        y0 = std::log(y0);
        y1 = std::log(y1);
    }
    const real t = (xe - x0) * (y1 - y0) / (x1 - x0);
    double y = static_cast<double>(y0 + t);
    if (logarithmic) y = std::exp(y);
    return pass.Vert->ValueToPixel(y);
}

void TCustomSeries::DrawPointIn(TDrawPass& pass, int i) {
    const TColor c = pass.ColorAt(*this, i);
    const int x = pass.XPixel(i), y = pass.YPixel(i);
    TChartCanvas& canvas = *pass.Canvas;
    if (canvas.Brush().Color != c) canvas.SelectBrush(c, canvas.Brush().Style);

    // No segment starts at a null point.
    if (PrevColor == clNone) {
        PrevX = x;
        PrevY = y;
    }

    const bool lastOfPass = i == pass.LastOfPass;
    if (i == pass.FirstOfPass) {
        // Never drawn from what an earlier pass left: the line of a zoomed
        // view starts where it crosses the edge.
        if (i == FirstShownIndex && i > 0) {
            PrevX = pass.EdgeColumn;
            PrevY = EdgeRow(pass, i);
            if (!pass.IsNull(*this, i - 1)) Segment(pass, c, PrevX, PrevY, x, y);
        }
        if (lastOfPass && pass.PointerVisible && c != clNone) DrawPointer(pass, i, x, y, c);
    } else {
        Segment(pass, c, PrevX, PrevY, x, y);
        // Drawing backwards, the first shown point comes last; the piece of line
        // from it to where the line leaves the chart (towards the point before)
        // would otherwise be missing.
        if (lastOfPass && !pass.Forward && i == FirstShownIndex && i > 0 && !pass.IsNull(*this, i - 1))
            Segment(pass, c, x, y, pass.EdgeColumn, EdgeRow(pass, i));
        if (pass.PointerVisible) {
            if (PrevColor != clNone) DrawPointer(pass, pass.Forward ? i - 1 : i + 1, PrevX, PrevY, PrevColor);
            if (lastOfPass && c != clNone) DrawPointer(pass, i, x, y, c);
        }
    }

    PrevX = x;
    PrevY = y;
    PrevColor = c;
}

void TCustomSeries::Segment(const TDrawPass& pass, TColor c, int x0, int y0, int x1, int y1) {
    if ((x0 == x1 && y0 == y1) || c == clNone || !FDrawsLine) return;
    TChartCanvas& canvas = *pass.Canvas;
    canvas.ClearBrush();
    canvas.SelectChartPen(LinePen(), pass.ColorEachPoint && FColorEachLine ? c : pass.SeriesColor);
    if (!FStairs) {
        canvas.MoveTo(x0, y0);
    } else if (!FInvertedStairs) {
        canvas.HorizontalLine(x0, x1, y0);
    } else {
        canvas.VerticalLine(x0, y0, y1);
    }
    canvas.LineTo(x1, y1);
}

void TCustomSeries::DrawPointer(const TDrawPass& pass, int index, int x, int y, TColor c) {
    TChartCanvas& canvas = *pass.Canvas;
    const TChartPen& pen = FPointer.Pen();
    canvas.SelectChartPen(pen, pen.Color() == clDefault ? c : pen.Color());
    TChartBrush& brush = FPointer.Brush();
    TColor fill = brush.Color();
    if (fill == clDefault) fill = brush.Style() == bsSolid ? c : clBlack;
    canvas.SelectChartBrush(brush, fill, clNone);

    const TSeriesPointerStyle style =
        OnGetPointerStyle ? OnGetPointerStyle(this, index) : FPointer.Style();
    if (style == psRectangle) {
        const int h = FPointer.HorizSize(), v = FPointer.VertSize();
        // Both corners belong to the marker.
        canvas.RectangleOutline(x - h, y - v, x + h + 1, y + v + 1);
    }
}

#pragma once
// The window control that hosts a chart: it hands the engine its size, its
// canvas while painting and its mouse input, and repaints when the engine asks.
// It never lets the system erase its background; the chart paints every pixel.
// The engine works in device pixels (its size, its mouse positions, its fonts'
// pixels per inch), so that its bitmap reaches the screen pixel for pixel at
// any device pixel ratio.

#include <QWidget>

#include <memory>
#include <string>

#include "Chart.h"

class QLabel;

class TChartWidget : public QWidget, public TChartHost {
public:
    // A widget with a chart of its own.
    explicit TChartWidget(QWidget* parent = nullptr);
    // A widget showing a chart that lives elsewhere (and outlives the widget).
    TChartWidget(TChart& chart, QWidget* parent);
    ~TChartWidget() override;

    TChart& Chart() { return *FChart; }
    const TChart& Chart() const { return *FChart; }

    // The values under the mouse: while the pointer is over the chart
    // rectangle (and no drag is on), a box beside it shows the position along
    // the bottom axis and, for each shown series, its value at the point
    // nearest in X, named by the series' title (or its axis' title). The box
    // is a control over the chart, never drawn into the chart's picture.
    void SetValueReadout(bool on);
    bool ValueReadout() const { return FReadoutOn; }
    // The box, for tests; null until the readout is switched on.
    QLabel* Readout() const { return FReadout; }
    // The readout's text at a point in device pixels; empty outside the chart
    // rectangle or without points.
    QString ReadoutText(int x, int y) const;

    // -- TChartHost
    void InvalidateWindow() override;
    void PaintNow() override;
    bool ParentColor(TColor& color) const override;
    void SetCursor(int cursor) override;
    void BoundsChanged() override;

protected:
    bool event(QEvent* e) override;
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void moveEvent(QMoveEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void leaveEvent(QEvent* e) override;
    void wheelEvent(QWheelEvent* e) override;

private:
    void Attach();
    // Device pixels per logical pixel, and the screen's pixels per inch in
    // device pixels: the chart's unit.
    double Ratio() const;
    int DevicePixelsPerInch() const;
    // Hands the chart the control's place and size in device pixels.
    void ApplyBoundsToChart();

    std::unique_ptr<TChart> FOwned;
    TChart* FChart;
    bool FApplyingBounds = false;
    // The screen's pixels per inch last handed to the chart.
    int FAppliedPpi = 0;
    int FWheelRemainder = 0;
    bool FReadoutOn = false;
    QLabel* FReadout = nullptr;
    void MoveReadout(QPoint logical, QPoint device, Qt::MouseButtons buttons);
};

#pragma once
// The series half of the chart engine: the value lists that hold a series'
// points, their labels and colours, and the series base classes that own them
// and tell their chart when something changed.
//
// A series works with or without a chart. The chart it belongs to is seen only
// through TSeriesChartLink, the few services a series needs of it; the chart
// control implements that interface.

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "ChartCanvas.h"
#include "ChartColors.h"
#include "Exceptions.h"

class TChartAxis;
class TChartSeries;

// Errors of the chart engine's series and shapes.
class ChartException : public Exception {
    using Exception::Exception;
};

// ---------------------------------------------------------------------------
// Enumerations

enum TChartListOrder { loNone, loAscending, loDescending };

// The axes a series can be bound to. The "both" values bind the series to the
// pair; its resolved axis object is then the first of the pair.
enum THorizAxis { aBottomAxis, aTopAxis, aBothHorizAxis };
enum TVertAxis { aLeftAxis, aRightAxis, aBothVertAxis };

// Series events broadcast through the chart to its listeners. The chart itself
// sends the first two when it attaches or detaches a series.
enum TSeriesEventKind : int {
    sekAdded = 0,
    sekRemoved = 1,
    sekTitleChanged = 2,
    sekColorChanged = 3,
    sekActiveChanged = 5,
    sekDataChanged = 6,
};

// What a series tells the series fed from it.
enum TLinkedSeriesChange { lscCleared, lscAdded, lscRemoved, lscDataChanged, lscReordered };

// ---------------------------------------------------------------------------
// The palette automatic series colours are drawn from, shared by every chart
// that has none of its own.
inline constexpr std::array<TColor, 20> DefaultColorPalette = {
    clRed,  clGreen, clYellow,     clBlue,    clWhite, clGray,    clFuchsia,
    clTeal, clNavy,  clMaroon,     clLime,    clOlive, clPurple,  clSilver,
    clAqua, clBlack, clMoneyGreen, clSkyBlue, clCream, clMedGray,
};

// ---------------------------------------------------------------------------
// What a series needs of the chart it belongs to.
//
// Joining protocol (the series' SetParentChart drives it):
//   - SetParentChart(newChart) calls oldChart->DetachSeries(series), records
//     newChart as the series' chart, then calls newChart->AttachSeries(series).
//   - DetachSeries(s), when s is in the chart's list: broadcast sekRemoved, call
//     s->DetachedFromChart() (which forgets the chart), delete s from the list,
//     Invalidate.
//   - AttachSeries(s): ignored when s is already in the list. When
//     s->ParentChart() is not this chart yet, call s->SetParentChart(this) and
//     return (that call comes back here). Otherwise call s->AttachedToChart()
//     BEFORE appending (the automatic colour must not see the series itself),
//     append, broadcast sekAdded, Invalidate.
class TSeriesChartLink {
  public:
    // Repaint request; the chart may drop it (while it paints, say).
    virtual void Invalidate() = 0;
    virtual void BroadcastSeriesEvent(TChartSeries* series, TSeriesEventKind kind) = 0;
    // True when no series of the chart other than `except` has the colour as its
    // SeriesColor and, with checkBackground, the colour is neither the chart's
    // Color nor its back wall's.
    virtual bool IsFreeColor(TColor color, bool checkBackground,
                             const TChartSeries* except) const = 0;
    // The chart's own palette; nullptr (or an empty one) means the default palette.
    virtual const std::vector<TColor>* Palette() const = 0;
    virtual TChartAxis* AxisFor(THorizAxis axis) = 0;
    virtual TChartAxis* AxisFor(TVertAxis axis) = 0;
    virtual void CheckDataSource(TChartSeries* series) = 0;
    virtual bool IsDestroying() const = 0;
    virtual void AttachSeries(TChartSeries* series) = 0;
    virtual void DetachSeries(TChartSeries* series) = 0;

  protected:
    ~TSeriesChartLink() = default;
};

// ---------------------------------------------------------------------------
// One dimension of a series' points: a contiguous array of doubles kept in the
// order Order names, with minimum, maximum and sums computed lazily.
//
// Storage grows in fixed steps of CapacityStep entries. The array lives in
// malloc'ed memory so that growing a large list can extend it in place.
class TChartValueList {
  public:
    static constexpr int CapacityStep = 1000;

    // Registers the list in the owner's value-list collection (the owner may be
    // null for a list standing on its own). The list does not belong to the
    // collection: whoever created it frees it, and it leaves the collection then.
    TChartValueList(TChartSeries* owner, std::string name);
    virtual ~TChartValueList();
    TChartValueList(const TChartValueList&) = delete;
    TChartValueList& operator=(const TChartValueList&) = delete;

    // Stores the value where Order demands and returns the index used. In the
    // list's own order this is an append after one comparison; otherwise the
    // scan runs back from the end, and equal values keep their arrival order.
    virtual int AddOrdered(double value);
    // Empties the list and releases its storage.
    virtual void RemoveAll();
    // 0 <= index <= ValueCount().
    virtual void InsertAt(int index, double value);
    // 0 <= index < ValueCount().
    virtual void RemoveAt(int index);
    // Removes count values from start on (clipped to the list).
    void RemoveRange(int start, int count);

    int ValueCount() const { return static_cast<int>(FValues.size()); }
    // The room the list has taken: it grows by CapacityStep when a value finds
    // it full (the vector underneath grows as vectors do, so that a long
    // series is not copied whole every thousand values).
    int Capacity() const { return FCapacity; }
    double Value(int index) const { return FValues[static_cast<std::size_t>(index)]; }
    double operator[](int index) const { return Value(index); }
    void SetValue(int index, double value) {
        FValues[static_cast<std::size_t>(index)] = value;
        FStatsStale = true;
    }
    const double* ValueArray() const { return FValues.data(); }
    // The list must not be empty.
    double FirstValue() const { return FValues.front(); }
    double LastValue() const { return FValues.back(); }

    // Each recomputes the statistics first when they are stale.
    double Minimum() const;
    double Maximum() const;
    double Sum() const;
    double AbsSum() const;
    double Spread() const;
    // Whether no value is less than the one before it and none is no number,
    // whatever Order says (a value set by hand may break the order). Kept with
    // the statistics.
    bool Rising() const;
    // Lowers `low` and raises `high` to the extremes of the count values from
    // `from` on; values that are no number are left out and set noNumber. A
    // long list answers from extremes it keeps per block of values (made on
    // the first call after a change), so a long stretch costs a fraction of
    // its length.
    void Extremes(int from, int count, double& low, double& high, bool& noNumber) const;
    static constexpr std::size_t ExtremesBlock = 64;
    bool StatsStale() const { return FStatsStale; }
    void RecomputeStats() const;

    // Exchanges two values and tells the owner the points were reordered.
    void SwapAt(int i, int j);
    // Value i becomes i, for every i; the owner is told of the reordering.
    void Renumber();
    // Every value moves one place down, the first one to the end.
    void Rotate();
    // -1, 0 or +1 by value, negated for loDescending.
    int CompareAt(int i, int j) const;
    // With an Order other than loNone, sorts the list; through the owner every
    // other list, the point colours and the labels move in step. Equal values
    // keep their relative order.
    void SortValues();

    // Copies Order, DateTime and ValueSource, not the values.
    void Assign(const TChartValueList& source);

    bool DateTime() const { return FDateTime; }
    void SetDateTime(bool value);
    bool IsDateTimeStored() const { return FDateTime != DefaultDateTime; }
    const std::string& ValueSource() const { return FValueSource; }
    void SetValueSource(const std::string& value);

    TChartSeries* Owner() const { return FOwner; }

    std::string Name;
    TChartListOrder Order = loNone;
    // The value the next ordered insertion stores; a series fills it for every
    // dimension before it adds a point.
    double PendingValue = 0.0;
    bool DefaultDateTime = false;

  private:
    friend class TChartSeries;
    void StoreAt(int index, double value);
    void Permute(const std::vector<int>& order);

    bool FDateTime = false;
    mutable double FMaximum = 0.0;
    mutable double FMinimum = 0.0;
    mutable bool FRising = true;
    // Per block of ExtremesBlock values: the lowest and highest; empty when
    // not made since the last change.
    mutable std::vector<double> FBlockLow, FBlockHigh;
    mutable bool FBlocksNoNumber = false;
    TChartSeries* FOwner = nullptr;
    mutable double FSum = 0.0;
    mutable double FAbsSum = 0.0;
    std::string FValueSource;
    std::vector<double> FValues;
    int FCapacity = 0;
    mutable bool FStatsStale = true;
};

// The value lists of one series in creation order: 0 is XValues, 1 YValues,
// further dimensions from 2 on. It refers to the lists, it does not own them.
class TChartValueLists {
  public:
    int Count() const { return static_cast<int>(FItems.size()); }
    TChartValueList* operator[](int index) const { return FItems[static_cast<std::size_t>(index)]; }
    void Add(TChartValueList* list) { FItems.push_back(list); }
    void Remove(TChartValueList* list);

  private:
    std::vector<TChartValueList*> FItems;
};

// One optional text label per point. Stays empty while no point ever had a
// label; once it has entries it may be shorter than the point count, and
// missing entries read as empty.
class TLabelsList {
  public:
    int Count() const { return static_cast<int>(FItems.size()); }
    const std::string& Label(int index) const; // empty beyond the end
    void SetLabel(int index, std::string_view text);
    // Pads with empty entries up to index first.
    void Insert(int index, std::string_view text);
    void Delete(int index);                 // ignored beyond the end
    void DeleteRange(int start, int count); // clipped to the list
    void PadTo(int count);
    void Clear() { FItems.clear(); }

  private:
    friend class TChartSeries;
    std::vector<std::string> FItems;
};

// ---------------------------------------------------------------------------
// The marks of a series: a text box per point. Hidden in this program; the
// series keeps only what must move in step with its points.
class TSeriesMarks {
  public:
    struct TMarkPosition {
        int Left = 0, Top = 0;
        bool Custom = false;
    };
    struct TMarkItem {
        std::string Text;
        bool Visible = true;
    };

    bool Visible = false;
    TColor CalloutBrushColor = clBlack;

    // Per point index, possibly shorter than the point count.
    std::vector<TMarkPosition> Positions;
    std::vector<TMarkItem> Items;

    TSeriesChartLink* ParentChart() const { return FParentChart; }
    void SetParentChart(TSeriesChartLink* chart) { FParentChart = chart; }

    void Clear();
    void RemoveAt(int index);               // where present
    void RemoveRange(int start, int count); // where present

  private:
    TSeriesChartLink* FParentChart = nullptr;
};

// ---------------------------------------------------------------------------
// The base of everything a chart shows as an element of its own. The element
// owns a pen and a brush; it is their change sink, so that changing either
// asks the element's chart to repaint.
class TCustomChartElement : public TChartChangeSink {
  public:
    TCustomChartElement() = default;
    virtual ~TCustomChartElement() = default;
    TCustomChartElement(const TCustomChartElement&) = delete;
    TCustomChartElement& operator=(const TCustomChartElement&) = delete;

    bool Active() const { return FActive; }
    // Stores the flag; a change asks for a repaint.
    virtual void SetActive(bool value);

    TSeriesChartLink* ParentChart() const { return FParentChart; }

    // Asks the chart, when there is one, to repaint.
    void Repaint() const;
    // An owned object changed: repaint.
    void ObjectChanged(TChartObject* sender) override;

    TChartPen& Pen() { return FPen; }
    const TChartPen& Pen() const { return FPen; }
    TChartBrush& Brush() { return FBrush; }
    const TChartBrush& Brush() const { return FBrush; }

    bool ShowInEditor = true;
    std::intptr_t Tag = 0;

  protected:
    bool FActive = true;
    TSeriesChartLink* FParentChart = nullptr; // not owned

  private:
    TChartPen FPen{this};
    TChartBrush FBrush{this};
};

class TCustomChartSeries : public TCustomChartElement {
  public:
    const std::string& Title() const { return FTitle; }
    // A change repaints and broadcasts sekTitleChanged.
    void SetTitle(const std::string& value);

    bool ShowInLegend = true;
    // Stored extras that only round-trip through the window's layout.
    std::string Identifier;
    std::uint8_t Style = 0; // six flag bits

  private:
    std::string FTitle;
};

// ---------------------------------------------------------------------------
class TChartSeries : public TCustomChartSeries {
  public:
    using TSeriesOnBeforeAdd = std::function<bool(TChartSeries* Sender)>;
    using TSeriesOnAfterAdd = std::function<void(TChartSeries* Sender, int ValueIndex)>;
    using TSeriesOnClear = std::function<void(TChartSeries* Sender)>;
    using TSeriesNotify = std::function<void(TChartSeries* Sender)>;

    TChartSeries();
    // Removes all points, frees the lists and marks, and last leaves its chart.
    ~TChartSeries() override;

    // --- joining a chart (see TSeriesChartLink for the protocol)
    void SetParentChart(TSeriesChartLink* chart);
    // Called by the chart while it attaches the series, before appending it:
    // the automatic colour, the axis objects and the data-source check.
    virtual void AttachedToChart();
    // Called by the chart while it detaches the series: forgets the chart.
    virtual void DetachedFromChart();

    // --- layout and drawing hooks; the plain series draws nothing
    virtual void HorizMargins(int& left, int& right);
    virtual void VertMargins(int& top, int& bottom);
    // Shows every point (none of an empty series).
    virtual void ComputeShownRange();
    // Empties every value list, the point colours, the labels and the marks.
    virtual void ClearDataLists();
    // DrawPoint for FirstShownIndex..LastShownIndex, backwards unless DrawForward.
    virtual void DrawAllPoints();
    virtual void DrawPoint(int index);

    // --- point data
    // The point's own colour unless clDefault; then SeriesColor, or with
    // ColorEachPoint the palette entry index modulo the palette length.
    virtual TColor PointColor(int index) const;
    bool IsNullPoint(int index) const { return PointColor(index) == clNone; }
    virtual double XValueAt(int index) const { return FXValues->Value(index); }
    virtual double YValueAt(int index) const { return FYValues->Value(index); }
    // After an addition outside an update: OnAfterAdd, linked series, repaint.
    virtual void PointAdded(int index);
    // No series here is ever fed from another, so there is nobody to tell.
    virtual void NotifyLinkedSeries(TLinkedSeriesChange kind, int index);

    bool ColorEachPoint() const { return FColorEachPoint; }
    virtual void SetColorEachPoint(bool value);
    // The stored colour, or AutoColor while the stored one is clDefault.
    TColor SeriesColor() const { return FColor == clDefault ? FAutoColor : FColor; }
    // The colour as stored (clDefault: automatic).
    TColor StoredColor() const { return FColor; }
    bool IsColorStored() const { return FColor != clDefault; }
    virtual void SetSeriesColor(TColor value);
    TColor AutoColor() const { return FAutoColor; }

    // Returns the point's index, or -1 when OnBeforeAdd refused it.
    virtual int AddPoint(double x, double y, std::string_view label = {}, TColor color = clDefault);
    virtual void RemoveAllPoints();
    virtual int PointCount() const { return FXValues->ValueCount(); }
    // Throws ChartException for an index outside the points; removes nothing then.
    virtual void RemovePoint(int index);
    // Removes a run of points (clipped to the points); with renumber, XValues
    // then holds 0, 1, 2, ...
    virtual void RemovePoints(int start, int count, bool renumber = false);
    virtual double HighestX() const { return FXValues->Maximum(); }
    virtual double HighestY() const { return FYValues->Maximum(); }
    virtual double LowestX() const { return FXValues->Minimum(); }
    virtual double LowestY() const { return FYValues->Minimum(); }
    virtual int PointXPixel(int index) const;
    virtual int PointYPixel(int index) const;
    virtual bool DrawForward() const;

    // Moves the points so that point k becomes the former point order[k], in
    // every value list, the colours, the labels and the marks.
    void ReorderPoints(const std::vector<int>& order);

    // --- updates
    void BeginDataUpdate() { ++FUpdateDepth; }
    // Back at depth 0: linked series, sekDataChanged and, when Active, a repaint.
    void EndDataUpdate();
    int UpdateDepth() const { return FUpdateDepth; }

    // Active: stores, repaints on change, broadcasts sekActiveChanged.
    void SetActive(bool value) override;

    // --- lists
    TChartValueList* XValues() const { return FXValues.get(); }
    TChartValueList* YValues() const { return FYValues.get(); }
    TChartValueLists& ValuesList() { return FValuesList; }
    const TChartValueLists& ValuesList() const { return FValuesList; }
    TLabelsList& Labels() { return FLabels; }
    const TLabelsList& Labels() const { return FLabels; }
    // Absent (nullptr) until a point with a colour other than clDefault arrives.
    const std::vector<TColor>* PointColors() const { return FPointColors.get(); }
    TSeriesMarks& Marks() { return *FMarks; }
    const TSeriesMarks& Marks() const { return *FMarks; }

    // --- axes
    THorizAxis HorizAxis() const { return FHorizAxis; }
    TVertAxis VertAxis() const { return FVertAxis; }
    void SetHorizAxis(THorizAxis value);
    void SetVertAxis(TVertAxis value);
    // The chart's axis objects for HorizAxis/VertAxis; nullptr without a chart.
    TChartAxis* GetHorizAxis() const { return FHorizAxisObject; }
    TChartAxis* GetVertAxis() const { return FVertAxisObject; }

    // The colour of palette entry index (modulo its length): the chart's palette,
    // or the default one.
    TColor PaletteColor(int index) const;

    // Y holds the values proper, X their positions.
    bool YIsValue = true;
    int Depth = -1;
    int ZOrder = -1; // -1: automatic
    int Cursor = 0;
    std::string ValueFormat = "#,##0.###";
    std::string PercentFormat = "##0.## %";
    // Computed by the drawing; -1 means none.
    int FirstShownIndex = -1;
    int LastShownIndex = -1;

    TSeriesOnBeforeAdd OnBeforeAdd;
    TSeriesOnAfterAdd OnAfterAdd;
    TSeriesOnClear OnClearValues;
    TSeriesNotify BeforeDrawValues;
    TSeriesNotify AfterDrawValues;

  protected:
    // Called after the chart reference changed: gives owned objects the new parent.
    virtual void ParentChartChanged();
    void Broadcast(TSeriesEventKind kind);
    TColor FirstFreeColor() const;
    void ResolveAxes();

  private:
    TColor FColor = clDefault;
    TColor FAutoColor = clDefault;
    bool FColorEachPoint = false;
    std::unique_ptr<std::vector<TColor>> FPointColors;
    TLabelsList FLabels;
    TChartValueLists FValuesList;
    std::unique_ptr<TChartValueList> FXValues;
    std::unique_ptr<TChartValueList> FYValues;
    std::unique_ptr<TSeriesMarks> FMarks;
    THorizAxis FHorizAxis = aBottomAxis;
    TVertAxis FVertAxis = aLeftAxis;
    TChartAxis* FHorizAxisObject = nullptr;
    TChartAxis* FVertAxisObject = nullptr;
    int FUpdateDepth = 0;
};

// The series half of the chart engine: value lists, labels, point colours and
// the series base classes.

#include "ChartEngine.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <string>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// ===========================================================================
// TChartValueList

namespace {

// The lowest and highest of n values, values that are no number left out
// (noNumber tells of them). A million-record series passes here on every
// repaint: two values at a time where the processor has the instructions
// (whose minimum and maximum keep the running value when the new one is no
// number, as the comparisons below do).
void ExtremesOf(const double* v, std::size_t n, double& low, double& high, bool& noNumber) {
    std::size_t i = 0;
    bool odd = false;
#if defined(__SSE2__)
    __m128d lo0 = _mm_set1_pd(low), lo1 = lo0, hi0 = _mm_set1_pd(high), hi1 = hi0;
    __m128d nan = _mm_setzero_pd();
    for (; i + 4 <= n; i += 4) {
        const __m128d a = _mm_loadu_pd(v + i), b = _mm_loadu_pd(v + i + 2);
        lo0 = _mm_min_pd(a, lo0);
        hi0 = _mm_max_pd(a, hi0);
        lo1 = _mm_min_pd(b, lo1);
        hi1 = _mm_max_pd(b, hi1);
        nan = _mm_or_pd(nan, _mm_cmpunord_pd(a, b));
    }
    double lows[2], highs[2];
    _mm_storeu_pd(lows, _mm_min_pd(lo0, lo1));
    _mm_storeu_pd(highs, _mm_max_pd(hi0, hi1));
    low = std::min(lows[0], lows[1]);
    high = std::max(highs[0], highs[1]);
    odd = _mm_movemask_pd(nan) != 0;
#endif
    for (; i < n; ++i) {
        const double w = v[i];
        if (w < low) low = w;
        if (w > high) high = w;
        odd = odd || w != w;
    }
    noNumber = noNumber || odd;
}

} // namespace

TChartValueList::TChartValueList(TChartSeries* owner, std::string name)
    : Name(std::move(name)), FOwner(owner) {
    if (FOwner) FOwner->ValuesList().Add(this);
}

TChartValueList::~TChartValueList() {
    if (FOwner) FOwner->ValuesList().Remove(this);
}

void TChartValueList::StoreAt(int index, double value) {
    const int count = ValueCount();
    if (FCapacity < count + 1) FCapacity += CapacityStep;
    if (index == count)
        FValues.push_back(value);
    else
        FValues.insert(FValues.begin() + index, value);
    FStatsStale = true;
}

int TChartValueList::AddOrdered(double value) {
    PendingValue = value;
    const int count = ValueCount();
    const double* v = FValues.data();
    int index = count;
    if (count > 0) {
        if (Order == loAscending) {
            if (!(value >= v[count - 1])) {
                int i = count - 1;
                while (i >= 0 && v[i] > value)
                    --i;
                index = i + 1;
            }
        } else if (Order == loDescending) {
            if (!(value <= v[count - 1])) {
                int i = count - 1;
                while (i >= 0 && v[i] < value)
                    --i;
                index = i + 1;
            }
        }
    }
    StoreAt(index, value);
    return index;
}

void TChartValueList::InsertAt(int index, double value) {
    StoreAt(index, value);
}

void TChartValueList::RemoveAt(int index) {
    FValues.erase(FValues.begin() + index);
    FStatsStale = true;
}

void TChartValueList::RemoveRange(int start, int count) {
    if (start < 0) {
        count += start;
        start = 0;
    }
    if (start >= ValueCount() || count <= 0) return;
    count = std::min(count, ValueCount() - start);
    FValues.erase(FValues.begin() + start, FValues.begin() + start + count);
    FStatsStale = true;
}

void TChartValueList::RemoveAll() {
    std::vector<double>().swap(FValues);
    FCapacity = 0;
    FStatsStale = true;
}

void TChartValueList::RecomputeStats() const {
    const std::size_t n = FValues.size();
    if (n == 0) {
        FMinimum = FMaximum = FSum = FAbsSum = 0.0;
        FRising = true;
    } else {
        double mn = FValues[0], mx = mn, sum = mn, abssum = std::fabs(mn);
        bool rising = mn == mn;
        for (std::size_t i = 1; i < n; ++i) {
            const double v = FValues[i];
            rising = rising && v >= FValues[i - 1];
            if (v < mn)
                mn = v;
            else if (v > mx)
                mx = v;
            // Each sum is kept as a double: add with the wide significand,
            // round on storing, step by step.
            sum = static_cast<double>(static_cast<long double>(sum) + v);
            abssum = static_cast<double>(static_cast<long double>(abssum) + std::fabs(v));
        }
        FMinimum = mn;
        FMaximum = mx;
        FSum = sum;
        FAbsSum = abssum;
        FRising = rising;
    }
    FStatsStale = false;
    // The values changed: the block extremes are made again when asked.
    FBlockLow.clear();
    FBlockHigh.clear();
}

void TChartValueList::Extremes(int from, int count, double& low, double& high, bool& noNumber) const {
    if (count <= 0) return;
    if (FStatsStale) RecomputeStats();
    const double* v = FValues.data();
    const auto n = FValues.size();
    if (n < 4 * ExtremesBlock) {
        ExtremesOf(v + from, static_cast<std::size_t>(count), low, high, noNumber);
        return;
    }
    if (FBlockLow.empty()) {
        bool odd = false;
        const std::size_t blocks = n / ExtremesBlock;
        FBlockLow.resize(blocks);
        FBlockHigh.resize(blocks);
        for (std::size_t b = 0; b < blocks; ++b) {
            double lo = HUGE_VAL, hi = -HUGE_VAL;
            ExtremesOf(v + b * ExtremesBlock, ExtremesBlock, lo, hi, odd);
            FBlockLow[b] = lo;
            FBlockHigh[b] = hi;
        }
        double restLow = HUGE_VAL, restHigh = -HUGE_VAL;
        ExtremesOf(v + blocks * ExtremesBlock, n - blocks * ExtremesBlock, restLow, restHigh, odd);
        // Values that are no number are rare: a list holding one is read
        // value by value.
        FBlocksNoNumber = odd;
    }
    if (FBlocksNoNumber) {
        ExtremesOf(v + from, static_cast<std::size_t>(count), low, high, noNumber);
        return;
    }
    // The values up to the first whole block, the whole blocks, the rest.
    auto i = static_cast<std::size_t>(from);
    const std::size_t end = i + static_cast<std::size_t>(count);
    const std::size_t firstBlock = (i + ExtremesBlock - 1) / ExtremesBlock, lastBlock = end / ExtremesBlock;
    if (firstBlock >= lastBlock) {
        ExtremesOf(v + i, end - i, low, high, noNumber);
        return;
    }
    ExtremesOf(v + i, firstBlock * ExtremesBlock - i, low, high, noNumber);
    for (std::size_t b = firstBlock; b < lastBlock; ++b) {
        if (FBlockLow[b] < low) low = FBlockLow[b];
        if (FBlockHigh[b] > high) high = FBlockHigh[b];
    }
    ExtremesOf(v + lastBlock * ExtremesBlock, end - lastBlock * ExtremesBlock, low, high, noNumber);
}

double TChartValueList::Minimum() const {
    if (FStatsStale) RecomputeStats();
    return FMinimum;
}
double TChartValueList::Maximum() const {
    if (FStatsStale) RecomputeStats();
    return FMaximum;
}
bool TChartValueList::Rising() const {
    if (FStatsStale) RecomputeStats();
    return FRising;
}
double TChartValueList::Sum() const {
    if (FStatsStale) RecomputeStats();
    return FSum;
}
double TChartValueList::AbsSum() const {
    if (FStatsStale) RecomputeStats();
    return FAbsSum;
}
double TChartValueList::Spread() const {
    if (FStatsStale) RecomputeStats();
    return FMaximum - FMinimum;
}

void TChartValueList::SwapAt(int i, int j) {
    std::swap(FValues[static_cast<std::size_t>(i)], FValues[static_cast<std::size_t>(j)]);
    FStatsStale = true;
    if (FOwner) FOwner->NotifyLinkedSeries(lscReordered, -1);
}

void TChartValueList::Renumber() {
    std::iota(FValues.begin(), FValues.end(), 0.0);
    FStatsStale = true;
    if (FOwner) FOwner->NotifyLinkedSeries(lscReordered, -1);
}

void TChartValueList::Rotate() {
    if (FValues.size() < 2) return;
    std::rotate(FValues.begin(), FValues.begin() + 1, FValues.end());
    FStatsStale = true;
}

int TChartValueList::CompareAt(int i, int j) const {
    const double a = Value(i), b = Value(j);
    const int c = a < b ? -1 : (a > b ? 1 : 0);
    return Order == loDescending ? -c : c;
}

void TChartValueList::Permute(const std::vector<int>& order) {
    const std::vector<double> old(FValues);
    for (std::size_t k = 0; k < FValues.size(); ++k)
        FValues[k] = old[static_cast<std::size_t>(order[k])];
    FStatsStale = true;
}

void TChartValueList::SortValues() {
    const int count = ValueCount();
    if (Order == loNone || count < 2) return;
    std::vector<int> order(static_cast<std::size_t>(count));
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(),
                     [this](int a, int b) { return CompareAt(a, b) < 0; });
    if (FOwner && FOwner->PointCount() == count) {
        FOwner->ReorderPoints(order);
        FOwner->NotifyLinkedSeries(lscReordered, -1);
    } else {
        Permute(order);
    }
}

void TChartValueList::Assign(const TChartValueList& source) {
    Order = source.Order;
    FDateTime = source.FDateTime;
    FValueSource = source.FValueSource;
}

void TChartValueList::SetDateTime(bool value) {
    if (FDateTime == value) return;
    FDateTime = value;
    if (FOwner) FOwner->Repaint();
}

void TChartValueList::SetValueSource(const std::string& value) {
    if (FValueSource == value) return;
    FValueSource = value;
    if (FOwner && FOwner->ParentChart() && FOwner->UpdateDepth() == 0)
        FOwner->ParentChart()->CheckDataSource(FOwner);
}

// ===========================================================================
// TChartValueLists, TLabelsList, TSeriesMarks

void TChartValueLists::Remove(TChartValueList* list) {
    auto it = std::find(FItems.begin(), FItems.end(), list);
    if (it != FItems.end()) FItems.erase(it);
}

const std::string& TLabelsList::Label(int index) const {
    static const std::string empty;
    if (index < 0 || index >= Count()) return empty;
    return FItems[static_cast<std::size_t>(index)];
}

void TLabelsList::PadTo(int count) {
    if (Count() < count) FItems.resize(static_cast<std::size_t>(count));
}

void TLabelsList::SetLabel(int index, std::string_view text) {
    if (index < 0) return;
    PadTo(index + 1);
    FItems[static_cast<std::size_t>(index)].assign(text);
}

void TLabelsList::Insert(int index, std::string_view text) {
    if (index < 0) return;
    PadTo(index);
    FItems.emplace(FItems.begin() + index, text);
}

void TLabelsList::Delete(int index) {
    if (index < 0 || index >= Count()) return;
    FItems.erase(FItems.begin() + index);
}

void TLabelsList::DeleteRange(int start, int count) {
    if (start < 0) {
        count += start;
        start = 0;
    }
    if (start >= Count() || count <= 0) return;
    count = std::min(count, Count() - start);
    FItems.erase(FItems.begin() + start, FItems.begin() + start + count);
}

void TSeriesMarks::Clear() {
    Positions.clear();
    Items.clear();
}

namespace {
template <class V> void EraseAt(V& v, int index) {
    if (index >= 0 && index < static_cast<int>(v.size())) v.erase(v.begin() + index);
}
template <class V> void EraseRange(V& v, int start, int count) {
    const int n = static_cast<int>(v.size());
    if (start < 0) {
        count += start;
        start = 0;
    }
    if (start >= n || count <= 0) return;
    count = std::min(count, n - start);
    v.erase(v.begin() + start, v.begin() + start + count);
}
// Reorders a per-point vector; a vector shorter than the points is padded with
// `missing`, the value its absent entries read as.
template <class V>
void PermuteVector(V& v, const std::vector<int>& order,
                   const typename V::value_type& missing = {}) {
    if (v.empty()) return;
    if (v.size() < order.size()) v.resize(order.size(), missing);
    V old(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(order.size()));
    for (std::size_t k = 0; k < order.size(); ++k)
        v[k] = std::move(old[static_cast<std::size_t>(order[k])]);
}
} // namespace

void TSeriesMarks::RemoveAt(int index) {
    EraseAt(Positions, index);
    EraseAt(Items, index);
}

void TSeriesMarks::RemoveRange(int start, int count) {
    EraseRange(Positions, start, count);
    EraseRange(Items, start, count);
}

// ===========================================================================
// TCustomChartElement, TCustomChartSeries

void TCustomChartElement::SetActive(bool value) {
    if (FActive == value) return;
    FActive = value;
    Repaint();
}

void TCustomChartElement::Repaint() const {
    if (FParentChart) FParentChart->Invalidate();
}

void TCustomChartElement::ObjectChanged(TChartObject*) {
    Repaint();
}

void TCustomChartSeries::SetTitle(const std::string& value) {
    if (FTitle == value) return;
    FTitle = value;
    Repaint();
    if (FParentChart)
        if (auto* series = dynamic_cast<TChartSeries*>(this))
            FParentChart->BroadcastSeriesEvent(series, sekTitleChanged);
}

// ===========================================================================
// TChartSeries

TChartSeries::TChartSeries()
    : FXValues(std::make_unique<TChartValueList>(this, "X")),
      FYValues(std::make_unique<TChartValueList>(this, "Y")),
      FMarks(std::make_unique<TSeriesMarks>()) {
    FXValues->Order = loAscending;
    FYValues->Order = loNone;
}

TChartSeries::~TChartSeries() {
    RemoveAllPoints();
    FXValues.reset();
    FYValues.reset();
    FPointColors.reset();
    FLabels.Clear();
    FMarks.reset();
    if (FParentChart) FParentChart->DetachSeries(this);
    FParentChart = nullptr;
}

void TChartSeries::Broadcast(TSeriesEventKind kind) {
    if (FParentChart) FParentChart->BroadcastSeriesEvent(this, kind);
}

// ---- joining a chart

void TChartSeries::SetParentChart(TSeriesChartLink* chart) {
    if (chart == FParentChart) return;
    if (FParentChart) FParentChart->DetachSeries(this);
    // The old chart may not have held the series in its list (and so not have
    // called back); forget it all the same.
    FParentChart = chart;
    ParentChartChanged();
    if (chart) chart->AttachSeries(this);
}

void TChartSeries::ParentChartChanged() {
    if (FMarks) FMarks->SetParentChart(FParentChart);
}

TColor TChartSeries::FirstFreeColor() const {
    const std::vector<TColor>* own = FParentChart ? FParentChart->Palette() : nullptr;
    const TColor* colors = DefaultColorPalette.data();
    std::size_t n = DefaultColorPalette.size();
    if (own && !own->empty()) {
        colors = own->data();
        n = own->size();
    }
    for (std::size_t i = 0; i < n; ++i)
        if (FParentChart->IsFreeColor(colors[i], true, nullptr)) return colors[i];
    return colors[n - 1];
}

void TChartSeries::ResolveAxes() {
    if (FParentChart) {
        FHorizAxisObject = FParentChart->AxisFor(FHorizAxis);
        FVertAxisObject = FParentChart->AxisFor(FVertAxis);
    } else {
        FHorizAxisObject = nullptr;
        FVertAxisObject = nullptr;
    }
}

void TChartSeries::AttachedToChart() {
    if (!FParentChart) return;
    if (FColor == clDefault) {
        FAutoColor = FirstFreeColor();
        Broadcast(sekColorChanged);
    }
    ResolveAxes();
    if (FUpdateDepth == 0) FParentChart->CheckDataSource(this);
}

void TChartSeries::DetachedFromChart() {
    FParentChart = nullptr;
    ResolveAxes();
    ParentChartChanged();
}

void TChartSeries::SetHorizAxis(THorizAxis value) {
    if (FHorizAxis == value) return;
    FHorizAxis = value;
    ResolveAxes();
    Repaint();
}

void TChartSeries::SetVertAxis(TVertAxis value) {
    if (FVertAxis == value) return;
    FVertAxis = value;
    ResolveAxes();
    Repaint();
}

// ---- drawing hooks

void TChartSeries::HorizMargins(int& left, int& right) {
    left = right = 0;
}
void TChartSeries::VertMargins(int& top, int& bottom) {
    top = bottom = 0;
}

void TChartSeries::ComputeShownRange() {
    const int n = PointCount();
    FirstShownIndex = n > 0 ? 0 : -1;
    LastShownIndex = n - 1;
}

void TChartSeries::DrawAllPoints() {
    if (FirstShownIndex < 0 || LastShownIndex < FirstShownIndex) return;
    if (DrawForward())
        for (int i = FirstShownIndex; i <= LastShownIndex; ++i)
            DrawPoint(i);
    else
        for (int i = LastShownIndex; i >= FirstShownIndex; --i)
            DrawPoint(i);
}

void TChartSeries::DrawPoint(int) {}
int TChartSeries::PointXPixel(int) const {
    return 0;
}
int TChartSeries::PointYPixel(int) const {
    return 0;
}
bool TChartSeries::DrawForward() const {
    return true;
}

// ---- colours

TColor TChartSeries::PaletteColor(int index) const {
    const std::vector<TColor>* own = FParentChart ? FParentChart->Palette() : nullptr;
    if (own && !own->empty()) {
        const int n = static_cast<int>(own->size());
        return (*own)[static_cast<std::size_t>(((index % n) + n) % n)];
    }
    const int n = static_cast<int>(DefaultColorPalette.size());
    return DefaultColorPalette[static_cast<std::size_t>(((index % n) + n) % n)];
}

TColor TChartSeries::PointColor(int index) const {
    TColor c = clDefault;
    if (FPointColors && index >= 0 && index < static_cast<int>(FPointColors->size()))
        c = (*FPointColors)[static_cast<std::size_t>(index)];
    if (c != clDefault) return c;
    return FColorEachPoint ? PaletteColor(index) : SeriesColor();
}

void TChartSeries::SetColorEachPoint(bool value) {
    if (FColorEachPoint == value) return;
    FColorEachPoint = value;
    Repaint();
}

void TChartSeries::SetSeriesColor(TColor value) {
    if (FColor == clDefault && value == FAutoColor) return;
    const bool changed = FColor != value;
    FColor = value;
    if (changed) Repaint();
    FAutoColor = value;
    Broadcast(sekColorChanged);
}

void TChartSeries::SetActive(bool value) {
    TCustomChartElement::SetActive(value);
    Broadcast(sekActiveChanged);
}

// ---- points

int TChartSeries::AddPoint(double x, double y, std::string_view label, TColor color) {
    FXValues->PendingValue = x;
    FYValues->PendingValue = y;
    if (OnBeforeAdd && !OnBeforeAdd(this)) return -1;

    const int index = FXValues->AddOrdered(x);
    FYValues->InsertAt(index, y);
    for (int i = 2; i < FValuesList.Count(); ++i) {
        TChartValueList* list = FValuesList[i];
        list->InsertAt(index, list->PendingValue);
    }

    if (FPointColors) {
        FPointColors->insert(FPointColors->begin() + index, color);
    } else if (color != clDefault) {
        // Every point so far had the automatic colour.
        FPointColors = std::make_unique<std::vector<TColor>>(
            static_cast<std::size_t>(PointCount() - 1), clDefault);
        FPointColors->insert(FPointColors->begin() + index, color);
    }

    if (!label.empty() || FLabels.Count() > 0) FLabels.Insert(index, label);

    if (FUpdateDepth == 0) PointAdded(index);
    return index;
}

void TChartSeries::PointAdded(int index) {
    if (OnAfterAdd) OnAfterAdd(this, index);
    NotifyLinkedSeries(lscAdded, index);
    if (FActive) Repaint();
}

void TChartSeries::NotifyLinkedSeries(TLinkedSeriesChange, int) {}

void TChartSeries::ClearDataLists() {
    for (int i = 0; i < FValuesList.Count(); ++i)
        FValuesList[i]->RemoveAll();
    FPointColors.reset();
    FLabels.Clear();
    if (FMarks) FMarks->Clear();
}

void TChartSeries::RemoveAllPoints() {
    FirstShownIndex = -1;
    LastShownIndex = -1;
    ClearDataLists();
    if (OnClearValues) OnClearValues(this);
    NotifyLinkedSeries(lscCleared, -1);
    if (FActive && FParentChart && !FParentChart->IsDestroying()) FParentChart->Invalidate();
}

void TChartSeries::RemovePoint(int index) {
    const int n = PointCount();
    // A negative index is refused like one beyond the end: it would address
    // memory before the arrays.
    if (index < 0 || index >= n) {
        throw ChartException("Series Delete: ValueIndex " + std::to_string(index) + " out of bounds (0 to " +
                             std::to_string(n - 1) + ").");
    }
    for (int i = 0; i < FValuesList.Count(); ++i)
        FValuesList[i]->RemoveAt(index);
    if (FPointColors && index < static_cast<int>(FPointColors->size()))
        FPointColors->erase(FPointColors->begin() + index);
    FLabels.Delete(index);
    FMarks->RemoveAt(index);
    NotifyLinkedSeries(lscRemoved, index);
    if (FActive) Repaint();
}

void TChartSeries::RemovePoints(int start, int count, bool renumber) {
    const int n = PointCount();
    if (start < 0) {
        count += start;
        start = 0;
    }
    if (start >= n || count <= 0) return;
    count = std::min(count, n - start);
    for (int i = 0; i < FValuesList.Count(); ++i)
        FValuesList[i]->RemoveRange(start, count);
    if (FPointColors) {
        EraseRange(*FPointColors, start, count);
        if (FPointColors->empty()) FPointColors.reset();
    }
    FLabels.DeleteRange(start, count);
    FMarks->RemoveRange(start, count);
    NotifyLinkedSeries(lscRemoved, -1);
    if (FActive) Repaint();
    if (renumber) FXValues->Renumber();
}

void TChartSeries::ReorderPoints(const std::vector<int>& order) {
    for (int i = 0; i < FValuesList.Count(); ++i)
        if (FValuesList[i]->ValueCount() == static_cast<int>(order.size()))
            FValuesList[i]->Permute(order);
    if (FPointColors) PermuteVector(*FPointColors, order, clDefault);
    PermuteVector(FLabels.FItems, order);
    PermuteVector(FMarks->Positions, order);
    PermuteVector(FMarks->Items, order);
}

// ---- updates

void TChartSeries::EndDataUpdate() {
    if (FUpdateDepth == 0) return;
    if (--FUpdateDepth > 0) return;
    NotifyLinkedSeries(lscDataChanged, -1);
    Broadcast(sekDataChanged);
    // The additions inside the update asked for no repaint; one is due now.
    if (FActive) Repaint();
}

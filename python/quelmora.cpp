// The Python module: the core's readers, computation, corrections and summary
// for scripts, with numpy arrays in and out. It translates arguments into the
// options batch mode reads and the core's records into arrays; every value is
// the core's, so a script gets the batch mode's results bit for bit.

#include "AppVersion.h"
#include "Currency.h"
#include "DateTime.h"
#include "ErrorReport.h"
#include "Exceptions.h"
#include "FloodRun.h"
#include "FloodStamp.h"
#include "FloodPeriods.h"
#include "FloodSummary.h"
#include "InflowCorrection.h"
#include "InflowScreening.h"
#include "InflowWork.h"
#include "LargeMemory.h"
#include "LocaleFormats.h"
#include "MethodOptions.h"
#include "OptionText.h"
#include "RecordFormat.h"
#include "RecordRepair.h"
#include "ReferenceSeries.h"
#include "WorkbookLines.h"

#include <pybind11/eval.h>
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <limits>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

namespace py = pybind11;

namespace {

// ---------------------------------------------------------------- errors

// A failure of the core, carried out of the code that runs without the GIL
// and raised as quelmora.Error once it is held again.
struct TCoreFailure {
    std::string message;
    std::optional<std::string> file;
    std::optional<std::int64_t> line;
    // For a record made from arrays: the index of the record at fault.
    std::optional<std::int64_t> record;
};

PyObject* ErrorType = nullptr;
PyObject* ReadWarningType = nullptr;

// The message as batch mode prints it after "quelmora: ".
std::string MessageOf(const std::exception& e) { return EscapeControls(ErrorDisplayText(e)); }

TCoreFailure FailureOf(const std::exception& e, const InflowWork* work) {
    TCoreFailure failure{MessageOf(e), {}, {}, {}};
    if (work && work->FailedLine) {
        const TFailedLine& place = *work->FailedLine;
        if (!place.file.empty()) {
            failure.file = place.file;
            failure.line = place.line;
        } else if (place.line >= 2) {
            // Record k of an array-made record stands as line k + 2.
            failure.record = place.line - 2;
        }
    }
    return failure;
}

TCoreFailure Failure(std::string message) { return TCoreFailure{std::move(message), {}, {}, {}}; }

// Runs core work without the GIL; its errors come back as TCoreFailure.
template <class Work>
void RunCore(const InflowWork* work, Work&& run) {
    try {
        py::gil_scoped_release release;
        run();
    } catch (const std::bad_alloc&) {
        throw;
    } catch (const std::exception& e) {
        throw FailureOf(e, work);
    }
}

// Text from the core (file names, messages quoting a file's bytes) that may
// not be UTF-8.
py::object FileNameObject(const std::string& name) {
    return py::reinterpret_steal<py::object>(
        PyUnicode_DecodeFSDefaultAndSize(name.data(), static_cast<Py_ssize_t>(name.size())));
}
py::object MessageObject(const std::string& text) {
    return py::reinterpret_steal<py::object>(
        PyUnicode_DecodeUTF8(text.data(), static_cast<Py_ssize_t>(text.size()), "backslashreplace"));
}

void RaiseFailure(const TCoreFailure& failure) {
    py::object error = py::reinterpret_borrow<py::object>(ErrorType)(MessageObject(failure.message));
    if (failure.file) error.attr("file") = FileNameObject(*failure.file);
    if (failure.line) error.attr("line") = *failure.line;
    if (failure.record) error.attr("record") = *failure.record;
    PyErr_SetObject(ErrorType, error.ptr());
}

// ---------------------------------------------------------------- times

constexpr std::int64_t kMsPerDay = 86400000;
constexpr std::int64_t kDayOf1970 = 25569;   // 1970-01-01 counted from 1899-12-30

// A moment as milliseconds since 1970-01-01 (no time zone: the reservoir's
// local time) into the program's time value, as the reader makes it from the
// same moment written as a millisecond Unix stamp.
bool ValueFromMilliseconds(std::int64_t ms, DateTimeValue& value) {
    char text[32];
    const auto end = std::to_chars(text, text + sizeof text, ms).ptr;
    return ReadUnixStamp(std::string_view(text, static_cast<std::size_t>(end - text)),
                         TTimeFormat::UnixMilliseconds, 0, value);
}

// The way back: the moment the value's text shows, to the millisecond.
std::int64_t MillisecondsFromValue(DateTimeValue value) {
    const StampParts parts = SplitStamp(value);
    DateTimeValue date = 0;
    if (parts.year < 1 || parts.year > 9999 ||
        !TryEncodeDate(static_cast<int>(parts.year), parts.month, parts.day, date))
        return INT64_MIN;   // NaT: the program makes no such time
    const auto day = static_cast<std::int64_t>(date) - kDayOf1970;
    return day * kMsPerDay + ((parts.hour * 60LL + parts.minute) * 60LL + parts.second) * 1000LL +
           parts.millisecond;
}

py::module_ Numpy() { return py::module_::import("numpy"); }

// Times as numpy datetime64 of any unit, datetime objects, or texts numpy
// reads, into time values. Finer units than a millisecond must be whole
// milliseconds: the program's times have no finer part.
std::vector<DateTimeValue> TimeValues(const py::handle& times) {
    py::module_ np = Numpy();
    py::object array = np.attr("asarray")(times);
    if (py::str(array.attr("dtype").attr("kind")).cast<std::string>() != "M")
        array = np.attr("asarray")(times, "datetime64");
    if (py::cast<int>(array.attr("ndim")) != 1) throw py::value_error("times: a one-dimensional series is needed");
    const py::tuple unit = np.attr("datetime_data")(array.attr("dtype"));
    const std::string name = unit[0].cast<std::string>();
    const auto count = unit[1].cast<std::int64_t>();
    // Finer units are counted here, whole milliseconds checked; coarser ones
    // numpy converts to milliseconds exactly.
    const bool fine = name == "us" || name == "ns";
    const std::int64_t divisor = name == "us" ? 1000 : name == "ns" ? 1000000 : 1;
    const std::int64_t step = fine ? count : 1;
    if (name == "ps" || name == "fs" || name == "as")
        throw py::value_error("times: datetime64[" + name + "] is finer than the program's milliseconds");
    if (!fine && !(name == "ms" && count == 1)) array = array.attr("astype")("datetime64[ms]");
    const py::array_t<std::int64_t> counts = array.attr("view")("int64");
    const auto c = counts.unchecked<1>();
    std::vector<DateTimeValue> values(static_cast<std::size_t>(c.shape(0)));
    for (py::ssize_t i = 0; i < c.shape(0); ++i) {
        const std::int64_t raw = c(i);
        auto refuse = [&](const char* why) { throw py::value_error("times[" + std::to_string(i) + "] " + why); };
        if (raw == INT64_MIN) refuse("is NaT");
        std::int64_t units = 0;
        if (__builtin_mul_overflow(raw, step, &units) || units % divisor != 0) refuse("is no whole millisecond");
        DateTimeValue value = 0;
        if (!ValueFromMilliseconds(units / divisor, value)) refuse("lies outside the years 1 to 9999");
        values[static_cast<std::size_t>(i)] = value;
    }
    return values;
}

// A new numpy array of n items. numpy advises huge pages only for the whole
// 2 MiB blocks inside its own allocation, so a result column of a long record
// still takes hundreds of small page faults at its two ends; this one is
// aligned and advised as a whole.
template <class T> py::array_t<T> LargeArray(std::size_t n) {
    constexpr std::size_t kHuge = std::size_t{2} << 20;
    if (n * sizeof(T) < 2 * kHuge) return py::array_t<T>(static_cast<py::ssize_t>(n));
    const std::size_t bytes = (n * sizeof(T) + kHuge - 1) / kHuge * kHuge;
    void* memory = std::aligned_alloc(kHuge, bytes);
    if (!memory) throw std::bad_alloc();
    AdviseHugePages(memory, bytes);
    py::capsule owner(memory, [](void* p) { std::free(p); });
    return py::array_t<T>({static_cast<py::ssize_t>(n)}, {static_cast<py::ssize_t>(sizeof(T))},
                          static_cast<T*>(memory), owner);
}

template <class Value>
py::object TimeArray(const std::vector<Value>& items, DateTimeValue (*time)(const Value&)) {
    py::array_t<std::int64_t> counts = LargeArray<std::int64_t>(items.size());
    auto out = counts.mutable_unchecked<1>();
    for (std::size_t i = 0; i < items.size(); ++i) out(static_cast<py::ssize_t>(i)) = MillisecondsFromValue(time(items[i]));
    return counts.attr("view")("datetime64[ms]");
}

py::object TimeScalar(DateTimeValue value) {
    return Numpy().attr("datetime64")(MillisecondsFromValue(value), "ms");
}

template <class Value>
py::array_t<double> NumberArray(const std::vector<Value>& items, double (*field)(const Value&)) {
    py::array_t<double> array = LargeArray<double>(items.size());
    auto out = array.mutable_unchecked<1>();
    for (std::size_t i = 0; i < items.size(); ++i) out(static_cast<py::ssize_t>(i)) = field(items[i]);
    return array;
}

using TNumbers = py::array_t<double, py::array::c_style | py::array::forcecast>;

TNumbers Series(const py::handle& values, const char* what, std::size_t length) {
    TNumbers array = TNumbers::ensure(values);
    if (!array) throw py::type_error(std::string(what) + ": numbers are needed");
    if (array.ndim() != 1 || static_cast<std::size_t>(array.shape(0)) != length)
        throw py::value_error(std::string(what) + ": one value per record is needed (" + std::to_string(length) +
                              ")");
    return array;
}

// ---------------------------------------------------------------- options

// A path as str, bytes or os.PathLike, in the file system's encoding.
std::string PathText(const py::handle& path) {
    py::bytes encoded = py::module_::import("os").attr("fsencode")(path);
    return std::string(encoded);
}

std::string ScalarText(const py::handle& value, const char* option) {
    if (py::isinstance<py::bool_>(value))
        throw py::type_error(std::string(option) + ": a number or a text is needed, not a bool");
    if (py::isinstance<py::str>(value)) return value.cast<std::string>();
    if (py::isinstance<py::int_>(value)) return py::str(value).cast<std::string>();
    // repr of a float is the shortest text that reads back as the same double.
    if (py::isinstance<py::float_>(value)) return py::repr(value).cast<std::string>();
    throw py::type_error(std::string(option) + ": a number or a text is needed, not " +
                         py::str(value.get_type().attr("__name__")).cast<std::string>());
}

// `columns` or `units` as the option's text: a str as it is, a dict as
// "key=value,...", a list value repeating its key (loss=A,loss=B).
std::string MappingText(const py::handle& value, const char* option) {
    if (py::isinstance<py::str>(value)) return value.cast<std::string>();
    if (!py::isinstance<py::dict>(value))
        throw py::type_error(std::string(option) + ": a str such as \"level=2,storage=3\" or a dict is needed");
    std::string text;
    auto add = [&](const std::string& key, const py::handle& item) {
        const std::string written = ScalarText(item, option);
        // A comma would cut the option's text into other choices.
        if (written.find(',') != std::string::npos)
            throw py::value_error(std::string(option) + ": '" + written + "' holds a comma");
        if (!text.empty()) text += ',';
        text += key + "=" + written;
    };
    for (const auto& [key, item] : py::reinterpret_borrow<py::dict>(value)) {
        const std::string name = py::str(key).cast<std::string>();
        if (py::isinstance<py::list>(item) || py::isinstance<py::tuple>(item)) {
            for (const py::handle each : item) add(name, each);
        } else {
            add(name, item);
        }
    }
    return text;
}

// ---------------------------------------------------------------- records

double LevelOf(const TCurvePoint& p) { return p.Z; }
double StorageOf(const TCurvePoint& p) { return p.V; }

struct PyCurve {
    std::vector<TCurvePoint> points;
    // The lake's area at each point (m^2), when the curve gives it: the gauge
    // noise takes it in place of the segments' slopes.
    std::vector<double> areas;
    std::optional<std::string> file;
};

// A flood record in the work that read it (its failures then name its file
// and lines), or that took it from arrays.
struct PyRecord {
    std::unique_ptr<InflowWork> work = std::make_unique<InflowWork>();
    // One computation at a time: it runs without the GIL, in the record's work.
    std::unique_ptr<std::mutex> busy = std::make_unique<std::mutex>();
    std::optional<std::string> file;
    // Loss series given as arrays: fields 4 onward of each record.
    int lossSeries = 0;
};

// The record's lock, taken without the GIL: a computation holding it takes
// the GIL again before it lets go.
std::unique_lock<std::mutex> Lock(const PyRecord& record) {
    py::gil_scoped_release release;
    return std::unique_lock<std::mutex>(*record.busy);
}

DateTimeValue TimeOf(const TFloodStep& s) { return s.T; }
double LevelOfStep(const TFloodStep& s) { return s.Z; }
double OutflowOf(const TFloodStep& s) { return s.Qout; }

std::unique_ptr<InflowWork> NewWork() {
    auto work = std::make_unique<InflowWork>();
    work->ShowTables = false;
    work->FormCreate();
    return work;
}

TRecordFormat FormatOf(TFileKind kind, const TOptionPairs& pairs) {
    try {
        return ReadRecordFormat(kind, pairs);
    } catch (const std::exception& e) {
        throw Failure(MessageOf(e));
    }
}

PyCurve ReadCurveFile(const py::handle& path, const py::object& columns, const py::object& units) {
    TOptionPairs pairs;
    if (!columns.is_none()) pairs.emplace_back("--curve-columns", MappingText(columns, "columns"));
    if (!units.is_none()) pairs.emplace_back("--units", MappingText(units, "units"));
    const std::string file = PathText(path);
    std::unique_ptr<InflowWork> work = NewWork();
    work->CurveFormat = FormatOf(TFileKind::Curve, pairs);
    RunCore(work.get(), [&] {
        work->ResetCurveTable();
        work->ReadCurve(file);
    });
    return PyCurve{std::move(work->CurvePoints), std::move(work->CurveAreas), file};
}

PyRecord ReadFloodFile(const py::handle& path, const py::object& columns, const py::object& units,
                       const py::object& dateOrder, const py::object& timeFormat, const py::object& utcOffset,
                       const py::object& missing, const py::object& missingValues) {
    TOptionPairs pairs;
    if (!columns.is_none()) pairs.emplace_back("--columns", MappingText(columns, "columns"));
    if (!units.is_none()) pairs.emplace_back("--units", MappingText(units, "units"));
    if (!dateOrder.is_none()) pairs.emplace_back("--date-order", ScalarText(dateOrder, "date_order"));
    if (!timeFormat.is_none()) pairs.emplace_back("--time-format", ScalarText(timeFormat, "time_format"));
    if (!utcOffset.is_none()) pairs.emplace_back("--utc-offset", ScalarText(utcOffset, "utc_offset"));
    if (!missing.is_none()) pairs.emplace_back("--missing", ScalarText(missing, "missing"));
    if (py::isinstance<py::str>(missingValues) || py::isinstance<py::int_>(missingValues) ||
        py::isinstance<py::float_>(missingValues)) {
        pairs.emplace_back("--missing-value", ScalarText(missingValues, "missing_values"));
    } else {
        for (const py::handle value : missingValues)
            pairs.emplace_back("--missing-value", ScalarText(value, "missing_values"));
    }
    PyRecord record;
    record.file = PathText(path);
    record.work = NewWork();
    record.work->FloodFormat = FormatOf(TFileKind::Flood, pairs);
    InflowWork& work = *record.work;
    RunCore(&work, [&] {
        work.ResetFloodTable();
        work.ReadFlood(*record.file);
    });
    // The records skipped and the notes at the end, as batch mode tells them
    // on standard error: a notebook shows them, and warnings.filterwarnings
    // can silence them.
    const py::object warn = py::module_::import("warnings").attr("warn");
    for (const std::string& line : work.PassedOver(*record.file))
        warn(MessageObject(line), py::handle(ReadWarningType), 2);
    return record;
}

// The loss series of an array-made record: one series, or a sequence of them.
std::vector<TNumbers> LossSeries(const py::object& losses, std::size_t length) {
    std::vector<TNumbers> series;
    if (losses.is_none()) return series;
    const py::object array = Numpy().attr("asarray")(losses, "float64");
    const int ndim = py::cast<int>(array.attr("ndim"));
    if (ndim == 1) {
        series.push_back(Series(array, "losses", length));
    } else if (ndim == 2) {
        for (const py::handle row : array) series.push_back(Series(row, "losses", length));
    } else {
        throw py::value_error("losses: one series or a sequence of series is needed");
    }
    return series;
}

PyRecord RecordFromArrays(const py::handle& times, const py::handle& levels, const py::handle& outflows,
                          const py::object& losses) {
    const std::vector<DateTimeValue> t = TimeValues(times);
    const TNumbers z = Series(levels, "levels", t.size());
    const TNumbers q = Series(outflows, "outflows", t.size());
    const std::vector<TNumbers> lossValues = LossSeries(losses, t.size());
    std::vector<TFloodStep> steps;
    ReserveLarge(steps, t.size());
    steps.resize(t.size());
    const double* zs = z.data();
    const double* qs = q.data();
    for (std::size_t i = 0; i < t.size(); ++i) {
        steps[i].T = t[i];
        steps[i].Z = zs[i];
        steps[i].Qout = qs[i];
    }
    // The losses as the texts a file's fields after the outflow would hold,
    // to four decimals like every number of a file; a NaN is a blank field.
    TRecordFieldTexts texts;
    if (!lossValues.empty()) {
        std::string text;
        for (std::size_t i = 0; i < t.size(); ++i) {
            text.clear();
            for (std::size_t s = 0; s < lossValues.size(); ++s) {
                const double v = lossValues[s].data()[i];
                text += ',';
                if (std::isnan(v)) continue;
                if (!DecimalInRange(v))
                    throw py::value_error("losses: " + RealToText(v) + " (record " + std::to_string(i) +
                                          ") has no value of four decimals");
                AppendDecimalText(text, DecimalFromReal(v));
            }
            texts.Add(i, text);
        }
    }
    PyRecord record;
    record.work = NewWork();
    record.lossSeries = static_cast<int>(lossValues.size());
    record.work->SetFlood(std::move(steps), std::move(texts));
    return record;
}

// ---------------------------------------------------------------- results

double StorageOfStep(const TFloodStep& s) { return s.V; }
double StorageChangeOf(const TFloodStep& s) { return s.dV; }
double StepOf(const TFloodStep& s) { return s.dt; }
double StorageRateOf(const TFloodStep& s) { return s.dVdt; }
double MeanOutflowOf(const TFloodStep& s) { return s.qMean; }
double InflowOf(const TFloodStep& s) { return s.Qin; }

struct PyResult {
    py::object time, level, storage, storage_change, step, storage_rate, outflow, mean_outflow, inflow;
    py::object corrected = py::none();
    py::object sigma = py::none();
    // The screening's flags as texts, and as codes into kFlags for a
    // pandas Categorical.
    py::object flag = py::none();
    py::object flagCodes = py::none();
    py::object summary = py::none();
    // For the summaries by period asked later, which take the records from
    // the arrays (a copy of the records would cost every computation a
    // seventh of its time): the records computed, and the choices.
    std::size_t computed = 0;
    bool withCorrection = false;
    int waterYearStart = 10;
};

// The summary's items in the order and with the units of batch mode's
// --summary; each as SummaryItem(value, unit, time): a count as an int.
py::dict SummaryDict(const TFloodSummary& s) {
    static py::object item = py::module_::import("collections").attr("namedtuple")(
        "SummaryItem", py::make_tuple("value", "unit", "time"), py::arg("module") = "quelmora");
    py::dict d;
    for (const TSummaryItem& i : SummaryItems(s)) {
        const py::object value = i.count ? py::object(py::int_(*i.count))
                                 : i.value ? py::object(py::float_(*i.value))
                                           : py::none();
        d[py::str(i.name)] = item(value, i.unit, i.time ? TimeScalar(*i.time) : py::none());
    }
    return d;
}

// A number > 0, refused with batch mode's reason ("--spike needs a level
// difference > 0") and the text given.
double PositiveValue(const py::object& value, const char* keyword, const char* reason) {
    const std::string text = ScalarText(value, keyword);
    const auto v = WholeNumber<double>(text);
    if (!v || !std::isfinite(*v) || *v <= 0) throw Failure(std::string(reason) + ", not '" + text + "'");
    return *v;
}

int MonthValue(const py::object& value) {
    const std::string text = ScalarText(value, "water_year_start");
    const auto m = WholeNumber<int>(text);
    if (!m || *m < 1 || *m > 12) throw Failure("--water-year-start needs a month 1-12, not '" + text + "'");
    return *m;
}

constexpr const char* kWaterYearStartUse = "--water-year-start is for --negative scale:water-year or --summary-by "
                                           "water-year";

// The choices of compute(), read in batch mode's order so that the first
// refusal is the one batch mode gives for the same options.
struct TComputeChoices {
    TMethodChoices method;
    std::optional<double> spike;        // m
    bool repair = false;
    std::optional<double> resolution;   // m
    std::optional<std::string> referenceFile;
    std::optional<TColumnOption> referenceColumns;
    py::object referenceArrays = py::none();   // (times, values)
};

struct TComputeArguments {
    py::object outflow, bankStorage, losses, smooth, negative;
    py::object spike;
    bool repair = false;
    py::object smoothTolerance, gaugeResolution, waterYearStart, reference, referenceColumns;
};

TComputeChoices ComputeChoices(const PyRecord& record, const TComputeArguments& a) {
    std::vector<std::pair<std::string, std::string>> pairs;
    if (!a.outflow.is_none()) pairs.emplace_back("--outflow", ScalarText(a.outflow, "outflow"));
    if (!a.bankStorage.is_none()) pairs.emplace_back("--bank-storage", ScalarText(a.bankStorage, "bank_storage"));
    if (!a.losses.is_none()) {
        std::string fields;
        if (py::isinstance<py::str>(a.losses) || py::isinstance<py::int_>(a.losses)) {
            fields = ScalarText(a.losses, "losses");
        } else {
            for (const py::handle field : a.losses) {
                if (!fields.empty()) fields += ',';
                fields += ScalarText(field, "losses");
            }
        }
        pairs.emplace_back("--losses", fields);
    } else if (record.lossSeries > 0) {
        // A record made with loss series takes them all, in their order.
        std::string fields;
        for (int k = 0; k < record.lossSeries; ++k) fields += (k ? "," : "") + std::to_string(kFirstLossField + k);
        pairs.emplace_back("--losses", fields);
    }
    if (!a.smooth.is_none()) pairs.emplace_back("--smooth", ScalarText(a.smooth, "smooth"));
    if (!a.negative.is_none()) pairs.emplace_back("--negative", ScalarText(a.negative, "negative"));
    TComputeChoices c;
    TCorrectionOptions& correction = c.method.correction;
    try {
        // One by one, as batch mode reads them: scaling by period is taken
        // here, where the periods have their controls.
        for (const auto& [name, value] : pairs) {
            if (value.empty()) throw std::invalid_argument(name + " needs a value");
            ReadMethodOption(name, value, c.method);
        }
    } catch (const std::invalid_argument& e) {
        throw Failure(e.what());
    }
    if (!a.smoothTolerance.is_none()) {
        const double mm = PositiveValue(a.smoothTolerance, "smooth_tolerance", "--smooth-tolerance needs millimetres > 0");
        if (!a.smooth.is_none()) throw Failure("--smooth-tolerance and --smooth are two smoothings: choose one");
        correction.smoothTolerance = mm / 1000.0;
    }
    if (!a.waterYearStart.is_none()) correction.waterYearStart = MonthValue(a.waterYearStart);
    if (!a.spike.is_none()) c.spike = PositiveValue(a.spike, "spike", "--spike needs a level difference > 0");
    if (!a.gaugeResolution.is_none())
        c.resolution = PositiveValue(a.gaugeResolution, "gauge_resolution", "--gauge-resolution needs a level difference > 0");
    c.repair = a.repair;
    if (c.repair && !c.spike && record.work->FloodFormat.missing != TMissingMode::Skip)
        throw Failure("--repair mends the levels --spike flags and the records --missing skip skips: it needs one "
                      "of them");
    if (!a.waterYearStart.is_none() && correction.scaleBy != TCorrectionOptions::TScalePeriod::WaterYear)
        throw Failure(kWaterYearStartUse);
    if (!a.referenceColumns.is_none() && a.reference.is_none())
        throw Failure("--compare-columns describes the --compare file: it needs --compare");
    if (!a.reference.is_none()) {
        if (py::isinstance<py::tuple>(a.reference) || py::isinstance<py::list>(a.reference)) {
            if (py::len(a.reference) != 2)
                throw py::value_error("reference: a path, or a pair (times, values) is needed");
            if (!a.referenceColumns.is_none())
                throw py::value_error("reference_columns names the fields of a reference file, not of arrays");
            c.referenceArrays = a.reference;
        } else {
            c.referenceFile = PathText(a.reference);
            if (!a.referenceColumns.is_none()) {
                try {
                    c.referenceColumns = ParseCompareColumns(MappingText(a.referenceColumns, "reference_columns"));
                } catch (const EOptionError& e) {
                    throw Failure(EscapeControls(e.what()));
                }
            }
        }
    }
    return c;
}

// The reference series of the choices: a file read as --compare reads it (in
// the record's flow unit and stamps), or the arrays given (m^3/s; NaN for
// none).
TReferenceSeries ReferenceOf(const TComputeChoices& c, const PyRecord& record) {
    TReferenceSeries series;
    if (c.referenceFile) {
        const TRecordFormat& format = record.work->FloodFormat;
        RunCore(nullptr, [&] {
            series = ReadReferenceSeries(*c.referenceFile, c.referenceColumns, format.units.flow, format.stamps);
        });
    } else if (!c.referenceArrays.is_none()) {
        const py::sequence pair = c.referenceArrays;
        series.times = TimeValues(pair[0]);
        const TNumbers values = Series(pair[1], "reference values", series.times.size());
        series.values.assign(values.data(), values.data() + series.times.size());
    }
    return series;
}

// One value per record from one per step: value k belongs to record k + 1, the
// first record has none (NaN). A step beyond the values takes its computed
// inflow from `steps` when given (as the corrected-inflow file does), NaN
// otherwise.
py::array_t<double> StepArray(std::span<const double> values, std::size_t records,
                              std::span<const TFloodStep> steps = {}) {
    constexpr double kNone = std::numeric_limits<double>::quiet_NaN();
    py::array_t<double> array = LargeArray<double>(records);
    auto out = array.mutable_unchecked<1>();
    if (records > 0) out(0) = kNone;
    for (std::size_t k = 0; k + 1 < records; ++k)
        out(static_cast<py::ssize_t>(k + 1)) = k < values.size() ? values[k] : k + 1 < steps.size() ? steps[k + 1].Qin : kNone;
    return array;
}

constexpr std::array kFlags = {TRecordFlag::None, TRecordFlag::Spike, TRecordFlag::Repaired, TRecordFlag::Skipped};

py::list FlagNames() {
    py::list names;
    for (const TRecordFlag f : kFlags) names.append(py::str(std::string(FlagName(f))));
    return names;
}

// As batch mode tells them: the first ones, then how many more.
void WarnListed(const std::vector<std::string>& lines, const std::string& more) {
    constexpr std::size_t kListed = 20;
    const py::object warn = py::module_::import("warnings").attr("warn");
    const py::object category = py::module_::import("builtins").attr("RuntimeWarning");
    for (std::size_t i = 0; i < lines.size() && i < kListed; ++i) warn(MessageObject(lines[i]), category, 2);
    if (lines.size() > kListed) warn(std::to_string(lines.size() - kListed) + " more " + more, category, 2);
}

PyResult Compute(const PyCurve& curve, PyRecord& record, const TComputeArguments& arguments) {
    const TComputeChoices choices = ComputeChoices(record, arguments);
    const TCorrectionOptions& correction = choices.method.correction;
    const TReferenceSeries reference = ReferenceOf(choices, record);
    const bool screened = choices.spike || choices.repair;
    const bool withReference = choices.referenceFile || !choices.referenceArrays.is_none();
    const auto lock = Lock(record);
    InflowWork& work = *record.work;
    // The record stays as read, for its readers and its next computation: a
    // repair made for this one goes when it ends, however it ends.
    struct TUndo {
        InflowWork& work;
        bool armed;
        ~TUndo() {
            if (!armed) return;
            try {
                work.UndoRepair();
            } catch (...) {
                // The next computation starts by undoing it.
            }
        }
    } undo{work, screened};
    TFloodRun run;
    std::vector<TRecordFlag> flags;
    RunCore(&work, [&] {
        // A failure of the screening names no line of an earlier computation.
        work.FailedLine.reset();
        work.UndoRepair();
        if (screened) flags = ScreenAndRepair(work, choices.spike, choices.repair).flags;
        work.CurvePoints = curve.points;
        work.CurveAreas = curve.areas;
        work.Balance = choices.method.balance;
        work.Compute();
        const std::size_t computed = work.ComputedRecords;
        // As in batch mode: a step back in time would count its water with the
        // wrong sign.
        if (correction.Any() || choices.resolution || withReference) work.RequireTimeOrder();
        InflowWork::TRunHeld held;
        TRunInputs inputs = work.RunInputs(held);
        inputs.gaugeResolution = choices.resolution;
        inputs.withReference = withReference;
        inputs.referenceTimes = reference.times;
        inputs.reference = reference.values;
        if (choices.repair)
            inputs.repairedRecords =
                static_cast<std::size_t>(std::count(flags.begin(), flags.end(), TRecordFlag::Repaired));
        run = RunFlood(work.FloodSteps, computed, correction, true, inputs);
    });
    const std::vector<TFloodStep>& steps = work.FloodSteps;
    PyResult result;
    result.time = TimeArray(steps, &TimeOf);
    result.level = NumberArray(steps, &LevelOfStep);
    result.storage = NumberArray(steps, &StorageOfStep);
    result.storage_change = NumberArray(steps, &StorageChangeOf);
    result.step = NumberArray(steps, &StepOf);
    result.storage_rate = NumberArray(steps, &StorageRateOf);
    result.outflow = NumberArray(steps, &OutflowOf);
    result.mean_outflow = NumberArray(steps, &MeanOutflowOf);
    result.inflow = NumberArray(steps, &InflowOf);
    if (correction.Any() && !run.corrected.empty()) result.corrected = StepArray(run.corrected, steps.size(), steps);
    if (run.noise) result.sigma = StepArray(run.noise->sigma, steps.size());
    if (screened) {
        py::array_t<std::uint8_t> codes(static_cast<py::ssize_t>(flags.size()));
        auto out = codes.mutable_unchecked<1>();
        for (std::size_t i = 0; i < flags.size(); ++i)
            out(static_cast<py::ssize_t>(i)) = static_cast<std::uint8_t>(
                std::find(kFlags.begin(), kFlags.end(), flags[i]) - kFlags.begin());
        result.flagCodes = codes;
        result.flag = Numpy().attr("asarray")(FlagNames())[codes];
    }
    result.computed = work.ComputedRecords;
    result.withCorrection = correction.Any();
    result.waterYearStart = correction.waterYearStart;
    py::module_ warnings = py::module_::import("warnings");
    if (run.negativeVolume)
        warnings.attr("warn")("the record's inflow volume is negative: its negative inflows cannot be "
                              "redistributed; the corrected inflow keeps them",
                              py::module_::import("builtins").attr("RuntimeWarning"), 2);
    std::vector<std::string> negativePeriods;
    for (const TPeriodScaling& p : run.periods)
        if (p.state == TPeriodScaling::TState::NegativeVolume)
            negativePeriods.push_back(PeriodLabel(p.span.period, ScaleRule(correction)) +
                                      ": the period's inflow volume is negative: its negative inflows are kept");
    WarnListed(negativePeriods, "periods with a negative volume");
    if (run.summary) {
        result.summary = SummaryDict(*run.summary);
    } else if (run.summaryError) {
        try {
            std::rethrow_exception(run.summaryError);
        } catch (const std::exception& e) {
            warnings.attr("warn")("no summary: " + MessageOf(e), py::module_::import("builtins").attr("RuntimeWarning"), 2);
        }
    }
    return result;
}

// ---------------------------------------------------------------- periods

// The columns of batch mode's --summary-by, the corrected ones last.
constexpr std::array<const char*, 13> kPeriodColumns = {
    "period", "start", "end", "records", "peak_inflow", "peak_inflow_time", "inflow_volume", "outflow_volume",
    "storage_change", "lowest_inflow", "lowest_inflow_time", "negative_inflow_steps", "negative_inflow_volume"};
constexpr std::array<const char*, 3> kCorrectedPeriodColumns = {"peak_inflow_corrected", "peak_inflow_corrected_time",
                                                                "inflow_volume_corrected"};

PyObject* PeriodsType = nullptr;

py::object PeriodRows(const PyResult& r, const std::string& by, const py::object& waterYearStart) {
    TPeriodRule rule;
    if (by == "year") rule.kind = TPeriodKind::Year;
    else if (by == "water-year") rule.kind = TPeriodKind::WaterYear;
    else if (by == "month") rule.kind = TPeriodKind::Month;
    else throw Failure("--summary-by takes year, water-year or month, not '" + by + "'");
    rule.startMonth = r.waterYearStart;
    if (!waterYearStart.is_none()) {
        rule.startMonth = MonthValue(waterYearStart);
        if (rule.kind != TPeriodKind::WaterYear) throw Failure(kWaterYearStartUse);
    }
    // The records again from the arrays, each value as computed, each time
    // the one its stamp reads as: the periods and the times shown are those of
    // the stamps, to the millisecond.
    const std::vector<DateTimeValue> times = TimeValues(r.time);
    const std::size_t n = times.size();
    std::vector<TFloodStep> steps;
    ReserveLarge(steps, n);
    steps.resize(n);
    const std::pair<const py::object*, double TFloodStep::*> fields[] = {
        {&r.level, &TFloodStep::Z},          {&r.storage, &TFloodStep::V},
        {&r.storage_change, &TFloodStep::dV}, {&r.step, &TFloodStep::dt},
        {&r.storage_rate, &TFloodStep::dVdt}, {&r.outflow, &TFloodStep::Qout},
        {&r.mean_outflow, &TFloodStep::qMean}, {&r.inflow, &TFloodStep::Qin}};
    for (const auto& [array, field] : fields) {
        const TNumbers values = Series(*array, "Result's arrays", n);
        for (std::size_t i = 0; i < n; ++i) steps[i].*field = values.data()[i];
    }
    for (std::size_t i = 0; i < n; ++i) steps[i].T = times[i];
    // corrected[k] belongs to record k + 1.
    std::vector<double> corrected;
    if (!r.corrected.is_none() && n > 0) {
        const TNumbers values = Series(r.corrected, "Result's arrays", n);
        corrected.assign(values.data() + 1, values.data() + n);
    }
    std::vector<TPeriodSummary> rows;
    RunCore(nullptr, [&] {
        rows = r.withCorrection ? SummarizePeriods(steps, r.computed, corrected, rule)
                                : SummarizePeriods(steps, r.computed, rule);
    });
    auto value = [](const std::optional<double>& v) -> py::object { return v ? py::object(py::float_(*v)) : py::none(); };
    auto peak = [](py::dict& d, const char* name, const char* time, const std::optional<TFloodPeak>& p) {
        d[name] = p ? py::object(py::float_(p->value)) : py::none();
        d[time] = p ? TimeScalar(p->time) : py::none();
    };
    py::list list;
    for (const TPeriodSummary& row : rows) {
        py::dict d;
        d["period"] = row.label;
        d["start"] = TimeScalar(row.first);
        d["end"] = TimeScalar(row.last);
        d["records"] = row.records;
        peak(d, "peak_inflow", "peak_inflow_time", row.peakInflow);
        d["inflow_volume"] = value(row.inflowVolume);
        d["outflow_volume"] = value(row.outflowVolume);
        d["storage_change"] = value(row.storageChange);
        peak(d, "lowest_inflow", "lowest_inflow_time", row.lowestInflow);
        d["negative_inflow_steps"] = row.negativeInflowSteps ? py::object(py::int_(*row.negativeInflowSteps)) : py::none();
        d["negative_inflow_volume"] = value(row.negativeInflowVolume);
        if (row.corrected) {
            peak(d, "peak_inflow_corrected", "peak_inflow_corrected_time", row.peakInflowCorrected);
            d["inflow_volume_corrected"] = value(row.inflowVolumeCorrected);
        }
        list.append(d);
    }
    py::object periods = py::reinterpret_borrow<py::object>(PeriodsType)(list);
    periods.attr("corrected") = r.withCorrection;
    return periods;
}

py::object ImportPandas(const char* who) {
    try {
        return py::module_::import("pandas");
    } catch (py::error_already_set& e) {
        if (!e.matches(PyExc_ImportError)) throw;
        throw py::import_error(std::string(who) + " needs pandas, which is not installed (Debian: python3-pandas)");
    }
}

py::object PeriodsFrame(const py::object& periods) {
    py::object pandas = ImportPandas("Periods.to_pandas()");
    py::list columns;
    for (const char* c : kPeriodColumns) columns.append(c);
    if (py::bool_(py::getattr(periods, "corrected", py::bool_(false))))
        for (const char* c : kCorrectedPeriodColumns) columns.append(c);
    return pandas.attr("DataFrame").attr("from_records")(py::list(periods), py::arg("columns") = columns)
        .attr("set_index")("period");
}

py::object ResultFrame(const PyResult& r) {
    py::object pandas = ImportPandas("Result.to_pandas()");
    py::dict columns;
    columns["level"] = r.level;
    columns["storage"] = r.storage;
    columns["storage_change"] = r.storage_change;
    columns["step"] = r.step;
    columns["storage_rate"] = r.storage_rate;
    columns["outflow"] = r.outflow;
    columns["mean_outflow"] = r.mean_outflow;
    columns["inflow"] = r.inflow;
    if (!r.corrected.is_none()) columns["corrected_inflow"] = r.corrected;
    if (!r.sigma.is_none()) columns["sigma"] = r.sigma;
    // Four values: a Categorical (a byte a record) that value_counts and
    // groupby list whole, and that compares with "spike" as a str column does.
    if (!r.flagCodes.is_none())
        columns["flag"] = pandas.attr("Categorical").attr("from_codes")(r.flagCodes, FlagNames());
    py::object index = pandas.attr("DatetimeIndex")(r.time, py::arg("name") = "time");
    return pandas.attr("DataFrame")(columns, py::arg("index") = index);
}

PyRecord RecordFromFrame(const py::object& frame, const py::object& level, const py::object& outflow,
                         const py::object& losses) {
    py::object pandas = ImportPandas("Record.from_pandas()");
    py::object index = frame.attr("index");
    if (!py::isinstance(index, pandas.attr("DatetimeIndex")))
        throw py::type_error("Record.from_pandas(): the frame's index must be a DatetimeIndex");
    // A zone-aware index keeps its wall-clock times: the reservoir's local time.
    if (!index.attr("tz").is_none()) index = index.attr("tz_localize")(py::none());
    auto column = [&](const py::handle& name) { return frame[name].attr("to_numpy")("float64"); };
    py::object lossSeries = py::none();
    if (!losses.is_none()) {
        py::list series;
        if (py::isinstance<py::str>(losses)) {
            series.append(column(losses));
        } else {
            for (const py::handle name : losses) series.append(column(name));
        }
        lossSeries = series;
    }
    return RecordFromArrays(index.attr("to_numpy")("datetime64[ns]"), column(level), column(outflow), lossSeries);
}

}  // namespace

PYBIND11_MODULE(quelmora, m) {
    // Numbers and stamps are read in the user's locale, as batch mode reads them.
    LoadLocaleFormats();
    // Curves and records may be workbooks (FILE.xlsx, FILE.xlsx#SHEET).
    workbook::InstallWorkbookLines();

    m.doc() = R"doc(Reservoir inflow back-calculated from recorded level and outflow.

The water balance of each step between two records: the storage from the
level on the level-storage curve, the storage change over the step, plus the
outflow over it. The computation is the Quelmora program's own (its batch
mode and window give the same values bit for bit); this module reads its
files, takes arrays, and returns numpy arrays and pandas frames.

Units are the program's: levels in m, storages in 10^8 m^3, flows in m^3/s,
times as numpy datetime64 (the reservoir's local time, to the millisecond).

Example::

    import quelmora
    curve = quelmora.read_curve("curve.txt")
    record = quelmora.read_record("flood.txt")
    result = quelmora.compute(curve, record, outflow="end", bank_storage=0.08)
    result.inflow            # numpy array, m^3/s
    result.summary["peak_inflow"]
    result.to_pandas()       # a DataFrame indexed by time

Errors raise quelmora.Error (a ValueError) with the program's message and,
where the error belongs to a line of a file, .file and .line.
)doc";
    m.attr("__version__") = kAppVersion;

    py::object valueError = py::module_::import("builtins").attr("ValueError");
    py::dict attributes;
    attributes["file"] = py::none();
    attributes["line"] = py::none();
    attributes["record"] = py::none();
    ErrorType = PyErr_NewExceptionWithDoc(
        "quelmora.Error",
        "A file, an option or a computation that failed, with the message batch mode prints after\n"
        "'quelmora: '. .file and .line name the line of a file at fault (None otherwise); .record the\n"
        "index of the record at fault in a record made from arrays.",
        valueError.ptr(), attributes.ptr());
    if (!ErrorType) throw py::error_already_set();
    m.attr("Error") = py::handle(ErrorType);
    ReadWarningType = PyErr_NewExceptionWithDoc(
        "quelmora.ReadWarning",
        "What read_record passed over: a record skipped as a gap (missing=\"skip\"), or the notes at the\n"
        "end of an agency's file; the text batch mode writes on standard error.",
        PyExc_UserWarning, nullptr);
    if (!ReadWarningType) throw py::error_already_set();
    m.attr("ReadWarning") = py::handle(ReadWarningType);
    // The rows of Result.periods(): a list, with the frame a pandas user asks
    // for.
    py::dict scope;
    scope["__name__"] = "quelmora";
    scope["_frame"] = py::cpp_function(&PeriodsFrame);
    py::exec(R"(
class Periods(list):
    """Result.periods(): one dict per period; .corrected tells whether the
    corrected items are there; .to_pandas() is a DataFrame indexed by period."""
    corrected = False

    def to_pandas(self):
        return _frame(self)
)", scope);
    PeriodsType = scope["Periods"].ptr();
    Py_INCREF(PeriodsType);
    m.attr("Periods") = py::handle(PeriodsType);
    py::register_exception_translator([](std::exception_ptr p) {
        try {
            if (p) std::rethrow_exception(p);
        } catch (const TCoreFailure& failure) {
            RaiseFailure(failure);
        }
    });

    py::class_<PyCurve>(m, "Curve", R"doc(A level-storage curve: levels in m, storages in 10^8 m^3.

Curve(levels, storages, areas=None) makes one from sequences of numbers (in
the order a curve file would hold them; areas in m^2, for the gauge noise);
read_curve() reads one.)doc")
        .def(py::init([](const py::handle& levels, const py::handle& storages, const py::object& areas) {
                 const TNumbers z = TNumbers::ensure(levels);
                 if (!z || z.ndim() != 1) throw py::value_error("levels: a series of numbers is needed");
                 const auto n = static_cast<std::size_t>(z.shape(0));
                 const TNumbers v = Series(storages, "storages", n);
                 PyCurve curve;
                 curve.points.resize(n);
                 for (std::size_t i = 0; i < n; ++i) curve.points[i] = {z.data()[i], v.data()[i]};
                 if (!areas.is_none()) {
                     const TNumbers a = Series(areas, "areas", n);
                     curve.areas.assign(a.data(), a.data() + n);
                 }
                 return curve;
             }),
             py::arg("levels"), py::arg("storages"), py::arg("areas") = py::none())
        .def_property_readonly("level", [](const PyCurve& c) { return NumberArray(c.points, &LevelOf); },
                               "The levels, m (a copy).")
        .def_property_readonly("storage", [](const PyCurve& c) { return NumberArray(c.points, &StorageOf); },
                               "The storages, 10^8 m^3 (a copy).")
        .def_property_readonly(
            "area",
            [](const PyCurve& c) -> py::object {
                if (c.areas.empty()) return py::none();
                py::array_t<double> a(static_cast<py::ssize_t>(c.areas.size()));
                std::copy(c.areas.begin(), c.areas.end(), a.mutable_data());
                return a;
            },
            "The lake's area at each point, m^2 (a copy), or None when the curve gives none.")
        .def_property_readonly(
            "file", [](const PyCurve& c) { return c.file ? FileNameObject(*c.file) : py::none(); },
            "The file read, or None.")
        .def("__len__", [](const PyCurve& c) { return c.points.size(); })
        .def("__repr__", [](const PyCurve& c) {
            return "<quelmora.Curve of " + std::to_string(c.points.size()) + " points>";
        });

    py::class_<PyRecord>(m, "Record", R"doc(A flood record: time stamps, levels (m) and outflows (m^3/s).

Record(times, levels, outflows, losses=None) makes one from arrays: times as
numpy datetime64 (any unit down to whole milliseconds) or datetime objects;
losses (m^3/s, such as evaporation) as one series or a sequence of series,
taken to four decimals like a file's fields (NaN for a blank field).
read_record() reads one from a file; Record.from_pandas() takes a DataFrame.)doc")
        .def(py::init(&RecordFromArrays), py::arg("times"), py::arg("levels"), py::arg("outflows"),
             py::arg("losses") = py::none())
        .def_static("from_pandas", &RecordFromFrame, py::arg("frame"), py::arg("level") = "level",
                    py::arg("outflow") = "outflow", py::arg("losses") = py::none(),
                    R"doc(A record from a pandas DataFrame indexed by a DatetimeIndex.

level, outflow: the column names of the levels (m) and outflows (m^3/s);
losses: a column name or a list of them (m^3/s). A zone-aware index keeps its
wall-clock times.)doc")
        .def_property_readonly(
            "time",
            [](const PyRecord& r) {
                const auto lock = Lock(r);
                return TimeArray(r.work->FloodSteps, &TimeOf);
            },
            "The time stamps, datetime64[ms] (a copy).")
        .def_property_readonly(
            "level",
            [](const PyRecord& r) {
                const auto lock = Lock(r);
                return NumberArray(r.work->FloodSteps, &LevelOfStep);
            },
            "The levels, m (a copy).")
        .def_property_readonly(
            "outflow",
            [](const PyRecord& r) {
                const auto lock = Lock(r);
                return NumberArray(r.work->FloodSteps, &OutflowOf);
            },
            "The outflows, m^3/s (a copy).")
        .def_property_readonly(
            "file", [](const PyRecord& r) { return r.file ? FileNameObject(*r.file) : py::none(); },
            "The file read, or None.")
        .def("__len__",
             [](const PyRecord& r) {
                 const auto lock = Lock(r);
                 return r.work->FloodSteps.size();
             })
        .def("__repr__", [](const PyRecord& r) {
            const auto lock = Lock(r);
            return "<quelmora.Record of " + std::to_string(r.work->FloodSteps.size()) + " records>";
        });

    py::class_<PyResult>(m, "Result", R"doc(A computed flood record, one value per record in each array.

time (datetime64[ms]), level (m), storage (10^8 m^3), storage_change
(10^8 m^3), step (s), storage_rate (m^3/s: the storage term, with bank
storage when chosen), outflow (m^3/s, as recorded), mean_outflow (m^3/s: the
outflow term, losses included), inflow (m^3/s). The first record has no step:
its step values are 0, as in the result file.

corrected: the corrected inflow (m^3/s) when smooth, smooth_tolerance or
negative was chosen, aligned with inflow (corrected[0] is NaN); None
otherwise.
sigma: each step's inflow error from the gauge's resolution (m^3/s), aligned
with inflow (sigma[0] is NaN); None without gauge_resolution.
flag: with spike or repair, a str per record: "" (as read), "spike" (flagged,
not repaired) or "repaired" (its level, or a skipped record's level and
outflow, interpolated: the arrays hold the repaired values, and records a
repair brought back are rows); None otherwise.
summary: a dict of the items of batch mode's --summary, in its order, each a
SummaryItem(value, unit, time) (a count as an int), with the items of the
choices made (skipped_records, repaired_records, smooth_*, noise_*,
negative_*_noise, compare_*); None when a value lies beyond every number.)doc")
        .def_readonly("time", &PyResult::time)
        .def_readonly("level", &PyResult::level)
        .def_readonly("storage", &PyResult::storage)
        .def_readonly("storage_change", &PyResult::storage_change)
        .def_readonly("step", &PyResult::step)
        .def_readonly("storage_rate", &PyResult::storage_rate)
        .def_readonly("outflow", &PyResult::outflow)
        .def_readonly("mean_outflow", &PyResult::mean_outflow)
        .def_readonly("inflow", &PyResult::inflow)
        .def_readonly("corrected", &PyResult::corrected)
        .def_readonly("sigma", &PyResult::sigma)
        .def_readonly("flag", &PyResult::flag)
        .def_readonly("summary", &PyResult::summary)
        .def("periods", &PeriodRows, py::arg("by") = "water-year", py::arg("water_year_start") = py::none(),
             R"doc(One row per period, as batch mode's --summary-by writes them: a Periods list of dicts.

by: "water-year", "year" or "month"; water_year_start: the month (1-12) a
water year begins with (default: the computation's, 10 unless given). Each
row: period ("WY1983", "1983", "1983-05"), start, end (datetime64), records,
peak_inflow, peak_inflow_time, inflow_volume, outflow_volume,
storage_change, lowest_inflow, lowest_inflow_time, negative_inflow_steps,
negative_inflow_volume, and with a correction peak_inflow_corrected,
peak_inflow_corrected_time, inflow_volume_corrected; flows in m^3/s,
volumes in 10^8 m^3, None for an item the period cannot have. A step belongs
to the period of the record that ends it. The rows are made from this
Result's arrays. .to_pandas() gives a DataFrame indexed by period.)doc")
        .def("to_pandas", &ResultFrame,
             "The arrays as a pandas DataFrame indexed by time (corrected_inflow, sigma and flag as columns when "
             "made; flag as a Categorical).")
        .def("__len__", [](const PyResult& r) { return py::len(r.inflow); })
        .def("__repr__", [](const PyResult& r) {
            return "<quelmora.Result of " + std::to_string(py::len(r.inflow)) + " records>";
        });

    m.def("read_curve", &ReadCurveFile, py::arg("path"), py::arg("columns") = py::none(),
          py::arg("units") = py::none(),
          R"doc(Reads a level-storage curve file as batch mode's --curve does.

columns: which fields hold level and storage (and area), by heading or number
from 1, as a str "level=Elevation (ft),storage=3" or a dict {"level": 1,
"storage": "Live Storage (ac-ft)"} (batch mode's --curve-columns).
units: "level=ft,storage=af" or {"level": "ft", "storage": "af"} (--units);
values are converted exactly to m and 10^8 m^3 as they are read.)doc");
    m.def("read_record", &ReadFloodFile, py::arg("path"), py::arg("columns") = py::none(),
          py::arg("units") = py::none(), py::arg("date_order") = py::none(), py::arg("time_format") = py::none(),
          py::arg("utc_offset") = py::none(), py::arg("missing") = py::none(),
          py::arg("missing_values") = py::tuple(),
          R"doc(Reads a flood record file as batch mode's --flood does.

columns: "time=Date,level=2,outflow=Total Release (cfs),loss=..." or a dict
(a list value repeats its key, as for several losses) (--columns);
units: "level=ft,flow=cfs,loss=af" or a dict (--units);
date_order: "dmy", "mdy" or "ymd" (--date-order); time_format: "unix-s" or
"unix-ms" (--time-format); utc_offset: "+08:00" (--utc-offset);
missing: "skip" (--missing); missing_values: numbers that stand for no value
(--missing-value, each).
Each record skipped as a gap (the first 20, then their count) and a block of
notes at the file's end give a quelmora.ReadWarning with batch mode's text.)doc");
    m.def(
        "compute",
        [](const PyCurve& curve, PyRecord& record, const py::object& outflow, const py::object& bankStorage,
           const py::object& losses, const py::object& smooth, const py::object& negative, const py::object& spike,
           bool repair, const py::object& smoothTolerance, const py::object& gaugeResolution,
           const py::object& waterYearStart, const py::object& reference, const py::object& referenceColumns) {
            return Compute(curve, record,
                           TComputeArguments{outflow, bankStorage, losses, smooth, negative, spike, repair,
                                             smoothTolerance, gaugeResolution, waterYearStart, reference,
                                             referenceColumns});
        },
        py::arg("curve"), py::arg("record"), py::arg("outflow") = "mean", py::arg("bank_storage") = 0.0,
        py::arg("losses") = py::none(), py::arg("smooth") = py::none(), py::arg("negative") = py::none(),
        py::kw_only(), py::arg("spike") = py::none(), py::arg("repair") = false,
        py::arg("smooth_tolerance") = py::none(), py::arg("gauge_resolution") = py::none(),
        py::arg("water_year_start") = py::none(), py::arg("reference") = py::none(),
        py::arg("reference_columns") = py::none(),
        R"doc(Computes the inflow of a record on a curve, as batch mode does, and returns a Result.

outflow: "mean" (of the records at the step's two ends) or "end" (the
outflow recorded at its end) (--outflow);
bank_storage: K >= 0, the storage term becomes (1 + K) dV 10^8 / dt
(--bank-storage);
losses: field numbers of the record's file (4 = the first after the
outflow), an int, a list or "4,5", added to the outflow term (--losses); a
record made with loss series takes them all when losses is None;
smooth: an odd number of steps >= 3 for a centred moving average of the
corrected inflow (--smooth); negative: "redistribute", or "scale:water-year",
"scale:year", "scale:month": within each period negative inflows become 0
and the positive ones are scaled to keep its volume (--negative);
water_year_start: the month (1-12) water years begin with, default 10 (with
negative="scale:water-year"; also the default of Result.periods).

The long-record checks, keywords only:
spike: a tolerance in m; a level farther than that from the median of the
five records around it is flagged "spike" (--spike);
repair: replaces flagged levels, and the records read_record skipped with
missing="skip", by interpolation in time between their neighbours (--repair);
smooth_tolerance: mm; the corrected inflow is the smoothest series whose
implied levels keep an RMS departure within it (--smooth-tolerance);
gauge_resolution: the gauge's resolution in m; each step's inflow gets
sigma = A R sqrt(2) / (sqrt(12) dt) (--gauge-resolution);
reference: a reference inflow to compare with: a CSV file (a heading, then
time,value in m^3/s or in the record's flow unit), or a pair (times,
values in m^3/s, NaN for none) (--compare); reference_columns: the file's
time and value fields, "time=COL,value=COL" or a dict (--compare-columns).

The record itself is left as read: a repair belongs to the Result. The GIL is
released while it computes.)doc");
    m.def(
        "_number_text",
        [](double x) {
            try {
                return DecimalToText(DecimalFromReal(x));
            } catch (const std::exception& e) {
                throw Failure(MessageOf(e));
            }
        },
        py::arg("x"), "The text the result file writes for a number (four decimals, the locale's mark).");
    m.def(
        "_stamp_text",
        [](const py::handle& t) {
            const std::vector<DateTimeValue> values = TimeValues(py::make_tuple(t));
            return StampToText(values[0]);
        },
        py::arg("t"), "The text the program shows for a time (the locale's date and time).");
}

#pragma once
// Exporting what the window shows: a chart as a PNG file or onto the
// clipboard (a menu on a right click that does not drag), and a table's
// selected cells as tab-separated text (Ctrl+C), as spreadsheets paste it.

#include <QImage>
#include <QSize>
#include <QString>

#include <functional>
#include <optional>
#include <string>
#include <vector>

class QMenu;
class QTableView;
class QWidget;
class TChartWidget;

// A model's text of a cell for the clipboard, when it differs from the shown
// one (a time stamp in the ISO form).
inline constexpr int kCopyRole = 0x0100 + 1;   // Qt::UserRole + 1
// Times on the clipboard: what spreadsheets read as a date and time.
inline constexpr const char* kCopyStampPattern = "yyyy-mm-dd hh':'nn':'ss";

// What a save dialog is asked for: the file type's filter ("PNG 图片 (*.png)")
// and the extension a name without one gets ("png").
struct TSaveRequest {
    QString filter;
    QString suffix;
};

// The chart's picture as the control shows it, or drawn anew at another size
// in device pixels (the same axes, zoomed or not, and fonts), as PNG.
QImage ChartPicture(TChartWidget& chart, QSize size = {});
std::string ChartPngBytes(TChartWidget& chart, QSize size = {});
// Writes it to fileName, replaced as a whole or not at all.
void SaveChartPng(TChartWidget& chart, const std::string& fileName, QSize size = {});
void CopyChartToClipboard(TChartWidget& chart);

// Asks for a picture's width and height in pixels, the shown size first;
// none when cancelled.
std::optional<QSize> AskPictureSize(QWidget* parent, QSize shown);

// What the chart menu needs of the window: the save dialog (empty:
// cancelled) and the size dialog; further actions go at the menu's end.
struct TChartMenuHooks {
    std::function<std::string(const TSaveRequest&)> chooseSaveFile;
    std::function<std::optional<QSize>(QSize shown)> askSize;
};

// The menu on a right click of the chart that does not move (a right drag
// scrolls): "显示全部" (the axes as before any zoom or scroll), "保存为 PNG…"
// (the shown size), "保存为 PNG（指定大小）…", "复制到剪贴板". Returns the
// menu (the chart owns it), for the window to add to.
QMenu* InstallChartMenu(TChartWidget* chart, TChartMenuHooks hooks);

// The selected cells, one line per row that holds a selected cell, cells
// joined by tabs, lines ending LF: every column that holds a selected cell,
// and before them the row header's text when the view shows one; the
// column headings come first as a line when a selected row is the first.
// Texts as a spreadsheet of the desktop's locale reads them: without the
// blanks around them, times as yyyy-mm-dd hh:mm:ss (the model's kCopyRole),
// and numbers with the locale's decimal mark.
QString SelectedCellsText(const QTableView& view);
// A cell's text so: trimmed, a number's point as decimalMark.
QString CopiedCellText(const QString& text, QChar decimalMark);
// Ctrl+C in the view puts that text on the clipboard.
void InstallCopyShortcut(QTableView* view);

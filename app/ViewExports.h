#pragma once
// Exporting what the window shows: a chart as a PNG file or onto the
// clipboard (a menu on a right click that does not drag), and a table's
// selected cells as tab-separated text (Ctrl+C), as spreadsheets paste it.

#include <QString>

#include <functional>
#include <string>

class QMenu;
class QTableView;
class TChartWidget;

// The chart's picture as the control shows it, encoded as PNG.
std::string ChartPngBytes(TChartWidget& chart);
// Writes it to fileName, replaced as a whole or not at all.
void SaveChartPng(TChartWidget& chart, const std::string& fileName);
void CopyChartToClipboard(TChartWidget& chart);

// The menu "保存为 PNG…" / "复制到剪贴板" on a right click of the chart that
// does not move (a right drag scrolls). chooseFile is the window's file
// dialog (empty: cancelled). Returns the menu (the chart owns it).
QMenu* InstallChartMenu(TChartWidget* chart, std::function<std::string()> chooseFile);

// The selected cells, one line per row that holds a selected cell, cells
// joined by tabs, lines ending LF: every column that holds a selected cell,
// and before them the row header's text when the view shows one; the
// column headings come first as a line when a selected row is the first.
QString SelectedCellsText(const QTableView& view);
// Ctrl+C in the view puts that text on the clipboard.
void InstallCopyShortcut(QTableView* view);

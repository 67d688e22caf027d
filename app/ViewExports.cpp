#include "ViewExports.h"

#include "Application.h"
#include "ChartWidget.h"
#include "LineFile.h"

#include <QAbstractItemModel>
#include <QAction>
#include <QBuffer>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QMenu>
#include <QMouseEvent>
#include <QTableView>

#include <set>

namespace {

QImage ChartPicture(TChartWidget& chart) {
    // The control paints itself as on screen (also while its page is not
    // shown), pixel for pixel in device pixels.
    QImage image = chart.grab().toImage();
    image.setDevicePixelRatio(1.0);
    return image.convertToFormat(QImage::Format_RGB32);
}

// Runs a menu action; what it throws goes to the window's error box, never
// through Qt's signal machinery.
void Guarded(const std::function<void()>& action) {
    try {
        action();
    } catch (const std::exception& e) {
        if (auto* app = dynamic_cast<TApplication*>(QCoreApplication::instance()))
            app->ShowException(e);
        else
            throw;
    }
}

// Shows the menu on a right button press and release at the same place;
// the system's own context menu event (at the press, on X11) is dropped.
class TChartMenuFilter : public QObject {
public:
    TChartMenuFilter(QWidget* chart, QMenu* menu) : QObject(chart), menu_(menu) {}

protected:
    bool eventFilter(QObject*, QEvent* e) override {
        switch (e->type()) {
        case QEvent::ContextMenu: return true;
        case QEvent::MouseButtonPress: {
            auto* m = static_cast<QMouseEvent*>(e);
            if (m->button() == Qt::RightButton) press_ = m->globalPosition().toPoint(), pressed_ = true;
            return false;
        }
        case QEvent::MouseButtonRelease: {
            auto* m = static_cast<QMouseEvent*>(e);
            if (m->button() == Qt::RightButton && pressed_) {
                pressed_ = false;
                if ((m->globalPosition().toPoint() - press_).manhattanLength() <= 2) {
                    const QPoint at = press_;
                    // After the chart has seen the release (its drag ends).
                    QMetaObject::invokeMethod(menu_, [menu = menu_, at] { menu->popup(at); }, Qt::QueuedConnection);
                }
            }
            return false;
        }
        default: return false;
        }
    }

private:
    QMenu* menu_;
    QPoint press_;
    bool pressed_ = false;
};

}  // namespace

std::string ChartPngBytes(TChartWidget& chart) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!ChartPicture(chart).save(&buffer, "PNG")) throw Exception("The chart could not be encoded as PNG");
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

void SaveChartPng(TChartWidget& chart, const std::string& fileName) {
    const std::string png = ChartPngBytes(chart);
    LineFile file;
    file.OpenWriteAtomic(fileName, 1 << 16);
    file.Write(png);
    file.Close();
}

void CopyChartToClipboard(TChartWidget& chart) { QGuiApplication::clipboard()->setImage(ChartPicture(chart)); }

QMenu* InstallChartMenu(TChartWidget* chart, std::function<std::string()> chooseFile) {
    auto* menu = new QMenu(chart);
    menu->setObjectName(QStringLiteral("ChartMenu"));
    QAction* save = menu->addAction(QString::fromUtf8("保存为 PNG…"));
    QAction* copy = menu->addAction(QString::fromUtf8("复制到剪贴板"));
    QObject::connect(save, &QAction::triggered, chart, [chart, chooseFile = std::move(chooseFile)] {
        Guarded([&] {
            const std::string fileName = chooseFile();
            if (!fileName.empty()) SaveChartPng(*chart, fileName);
        });
    });
    QObject::connect(copy, &QAction::triggered, chart, [chart] { Guarded([&] { CopyChartToClipboard(*chart); }); });
    chart->installEventFilter(new TChartMenuFilter(chart, menu));
    return menu;
}

QString SelectedCellsText(const QTableView& view) {
    const QAbstractItemModel* model = view.model();
    const QItemSelectionModel* selection = view.selectionModel();
    if (!model || !selection) return {};
    std::set<int> rows, cols;
    for (const QItemSelectionRange& range : selection->selection()) {
        for (int r = range.top(); r <= range.bottom(); ++r) rows.insert(r);
        for (int c = range.left(); c <= range.right(); ++c)
            if (!view.isColumnHidden(c)) cols.insert(c);
    }
    if (rows.empty() || cols.empty()) return {};
    const bool rowHeader = !view.verticalHeader()->isHidden();
    QString text;
    auto line = [&](const std::function<QString(int)>& cell, const QString& header) {
        QString out;
        if (rowHeader) out = header;
        bool first = !rowHeader;
        for (int c : cols) {
            if (!first) out += QLatin1Char('\t');
            first = false;
            out += cell(c);
        }
        text += out + QLatin1Char('\n');
    };
    if (*rows.begin() == 0) {
        // A row header shows the hidden column 0, whose heading stands in the corner.
        const QString corner =
            rowHeader && view.isColumnHidden(0) ? model->headerData(0, Qt::Horizontal).toString() : QString();
        line([&](int c) { return model->headerData(c, Qt::Horizontal).toString(); }, corner);
    }
    for (int r : rows)
        line([&](int c) { return model->index(r, c).data().toString(); },
             model->headerData(r, Qt::Vertical).toString());
    return text;
}

void InstallCopyShortcut(QTableView* view) {
    auto* action = new QAction(view);
    action->setShortcut(QKeySequence::Copy);
    action->setShortcutContext(Qt::WidgetShortcut);
    QObject::connect(action, &QAction::triggered, view,
                     [view] { QGuiApplication::clipboard()->setText(SelectedCellsText(*view)); });
    view->addAction(action);
}

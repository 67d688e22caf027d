#include "ViewExports.h"

#include "Application.h"
#include "ChartWidget.h"
#include "LineFile.h"
#include "ScopeExit.h"

#include <QAbstractItemModel>
#include <QAction>
#include <QBuffer>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGuiApplication>
#include <QLocale>
#include <QPainter>
#include <QRegularExpression>
#include <QSpinBox>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QMenu>
#include <QMouseEvent>
#include <QTableView>

#include <cmath>
#include <set>

namespace {

// The largest picture the size dialog offers, per side (about 24 inches at
// 600 pixels per inch); a larger one takes memory for nothing.
constexpr int kLargestPictureSide = 16000;

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

QImage ChartPicture(TChartWidget& chart, QSize size) {
    TChart& engine = chart.Chart();
    // The control's device pixels (a part of one counts), which its paint
    // hands the chart also when the control has not been shown yet.
    const double ratio = chart.devicePixelRatioF();
    const QSize own(static_cast<int>(std::ceil(chart.width() * ratio - 1e-9)),
                    static_cast<int>(std::ceil(chart.height() * ratio - 1e-9)));
    if (!size.isValid() || size == own) {
        // The control paints itself as on screen (also while its page is not
        // shown), pixel for pixel in device pixels; without what lies over it
        // (the value readout).
        QImage image(own, QImage::Format_RGB32);
        image.setDevicePixelRatio(ratio);
        chart.render(&image, QPoint(), QRegion(), QWidget::DrawWindowBackground);
        image.setDevicePixelRatio(1.0);
        return image;
    }
    // Drawn once at the asked size, away from the control: the engine is
    // given the size without its host (the control keeps its place), draws
    // into a picture of its own, and gets its size back.
    const int left = engine.Left(), top = engine.Top(), width = engine.Width(), height = engine.Height();
    TChartHost* host = engine.Host();
    QImage image(size, QImage::Format_RGB32);
    {
        engine.SetHost(nullptr);
        const TScopeExit restore([&] {
            engine.SetBounds(left, top, width, height);
            engine.SetHost(host);
            engine.Invalidate();
        });
        engine.SetBounds(left, top, size.width(), size.height());
        QPainter painter(&image);
        engine.RenderTo(&painter, {0, 0, size.width(), size.height()});
    }
    return image;
}

std::string ChartPngBytes(TChartWidget& chart, QSize size) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!ChartPicture(chart, size).save(&buffer, "PNG")) throw Exception("The chart could not be encoded as PNG");
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

void SaveChartPng(TChartWidget& chart, const std::string& fileName, QSize size) {
    const std::string png = ChartPngBytes(chart, size);
    LineFile file;
    file.OpenWriteAtomic(fileName, 1 << 16);
    file.Write(png);
    file.Close();
}

void CopyChartToClipboard(TChartWidget& chart) { QGuiApplication::clipboard()->setImage(ChartPicture(chart)); }

std::optional<QSize> AskPictureSize(QWidget* parent, QSize shown) {
    QDialog dialog(parent);
    dialog.setWindowTitle(QString::fromUtf8("图片大小"));
    auto* form = new QFormLayout(&dialog);
    auto* width = new QSpinBox(&dialog);
    auto* height = new QSpinBox(&dialog);
    for (QSpinBox* box : {width, height}) {
        box->setRange(16, kLargestPictureSide);
        box->setSuffix(QString::fromUtf8(" 像素"));
    }
    width->setObjectName(QStringLiteral("PictureWidth"));
    height->setObjectName(QStringLiteral("PictureHeight"));
    width->setValue(shown.width());
    height->setValue(shown.height());
    form->addRow(QString::fromUtf8("宽"), width);
    form->addRow(QString::fromUtf8("高"), height);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    form->addRow(buttons);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return QSize(width->value(), height->value());
}

QMenu* InstallChartMenu(TChartWidget* chart, TChartMenuHooks hooks) {
    auto* menu = new QMenu(chart);
    menu->setObjectName(QStringLiteral("ChartMenu"));
    QAction* whole = menu->addAction(QString::fromUtf8("显示全部"));
    whole->setObjectName(QStringLiteral("ShowAll"));
    menu->addSeparator();
    QAction* save = menu->addAction(QString::fromUtf8("保存为 PNG…"));
    save->setObjectName(QStringLiteral("SavePng"));
    QAction* saveSized = menu->addAction(QString::fromUtf8("保存为 PNG（指定大小）…"));
    saveSized->setObjectName(QStringLiteral("SavePngSized"));
    QAction* copy = menu->addAction(QString::fromUtf8("复制到剪贴板"));
    copy->setObjectName(QStringLiteral("CopyPicture"));
    QObject::connect(whole, &QAction::triggered, chart, [chart] { Guarded([&] { chart->Chart().ResetZoom(); }); });
    auto saveAt = [chart, hooks](bool askSize) {
        Guarded([&] {
            QSize size;
            if (askSize) {
                const double ratio = chart->devicePixelRatioF();
                const QSize shown(static_cast<int>(std::ceil(chart->width() * ratio - 1e-9)),
                                  static_cast<int>(std::ceil(chart->height() * ratio - 1e-9)));
                const std::optional<QSize> chosen = hooks.askSize(shown);
                if (!chosen) return;
                size = *chosen;
            }
            const std::string fileName = hooks.chooseSaveFile({QString::fromUtf8("PNG 图片 (*.png)"), QStringLiteral("png")});
            if (!fileName.empty()) SaveChartPng(*chart, fileName, size);
        });
    };
    QObject::connect(save, &QAction::triggered, chart, [saveAt] { saveAt(false); });
    QObject::connect(saveSized, &QAction::triggered, chart, [saveAt] { saveAt(true); });
    QObject::connect(copy, &QAction::triggered, chart, [chart] { Guarded([&] { CopyChartToClipboard(*chart); }); });
    chart->installEventFilter(new TChartMenuFilter(chart, menu));
    return menu;
}

QString CopiedCellText(const QString& text, QChar decimalMark) {
    QString t = text.trimmed();
    // A number as the tables write it: digits, at most one point, a sign.
    static const QRegularExpression number(QStringLiteral("^[-+]?[0-9]+\\.[0-9]+$"));
    if (decimalMark != QLatin1Char('.') && number.match(t).hasMatch()) t.replace(QLatin1Char('.'), decimalMark);
    return t;
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
    const QChar mark = QLocale().decimalPoint().at(0);
    auto copied = [&](const QVariant& copy, const QVariant& shown) {
        return CopiedCellText(copy.isValid() && !copy.toString().isEmpty() ? copy.toString() : shown.toString(), mark);
    };
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
        const QString corner = rowHeader && view.isColumnHidden(0)
                                   ? CopiedCellText(model->headerData(0, Qt::Horizontal).toString(), mark)
                                   : QString();
        line([&](int c) { return CopiedCellText(model->headerData(c, Qt::Horizontal).toString(), mark); }, corner);
    }
    for (int r : rows)
        line([&](int c) { return copied(model->index(r, c).data(kCopyRole), model->index(r, c).data()); },
             copied(model->headerData(r, Qt::Vertical, kCopyRole), model->headerData(r, Qt::Vertical)));
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

// The application object's error display, the layout loading rules, the
// picture decoding and the About box.

#include "AboutUnit2.h"
#include "AppGuiTestSupport.h"
#include "Exceptions.h"
#include "FormLayout.h"
#include "JpegImage.h"

#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QFontMetrics>
#include <QIcon>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QStackedWidget>
#include <QTimer>
#include <QTranslator>

#include <cmath>
#include <functional>

namespace {

// Throws from an event handler, as a button handler does.
class TThrowingReceiver : public QObject {
public:
    std::function<void()> action;
    bool event(QEvent* e) override {
        if (e->type() == QEvent::User) {
            action();
            return true;
        }
        return QObject::event(e);
    }
};

void Deliver(TThrowingReceiver& receiver, std::function<void()> action) {
    receiver.action = std::move(action);
    QEvent event(QEvent::User);
    QCoreApplication::sendEvent(&receiver, &event);
}

}  // namespace

TEST(ErrorDisplay, CaptionIsTheProgramFileNameByTheTitleRule) {
    // The title comes from the program file (test_app_gui), not from the
    // command line's first word (set to something else by App()).
    EXPECT_EQ(App().Title(), "test_app_gui");
    EXPECT_EQ(App().Title(), ApplicationTitle(ProgramFilePath()));
}

TEST(Desktop, TheProgramNamesItsDesktopEntryAndShowsItsIcon) {
    EXPECT_EQ(App().desktopFileName(), "quelmora");
    const QIcon icon = App().windowIcon();
    EXPECT_EQ(icon.actualSize(QSize(48, 48)), QSize(48, 48));
    EXPECT_EQ(icon.actualSize(QSize(256, 256)), QSize(256, 256));
}

TEST(ErrorDisplay, ExceptionsLeavingAHandlerReachTheDisplayWithThePeriodRule) {
    ShownMessages m;
    m.Install();
    TThrowingReceiver receiver;
    Deliver(receiver, [] { throw EConvertError("'abc' is not a valid floating point value"); });
    Deliver(receiver, [] { throw EStringListError("List index out of bounds (1)"); });
    Deliver(receiver, [] { throw EInOutError(2); });
    Deliver(receiver, [] { throw EAbort(); });
    Deliver(receiver, [] { throw EConvertError("库容水位曲线少于两个点"); });
    Deliver(receiver, [] { throw EZeroDivide(); });
    // The loop goes on: an ordinary event is still delivered afterwards.
    bool delivered = false;
    Deliver(receiver, [&] { delivered = true; });
    App().MessageBox = &TApplication::ShowErrorBox;

    const std::string t = "test_app_gui";
    const std::vector<std::pair<std::string, std::string>> expected{
        {t, "'abc' is not a valid floating point value."},
        {t, "List index out of bounds (1)"},
        {t, "File not found."},
        {t, "库容水位曲线少于两个点."},
        {t, "Floating point division by zero."},
    };
    EXPECT_EQ(m.shown, expected);
    EXPECT_TRUE(delivered);
}

TEST(ErrorDisplay, MouseGrabIsReleasedBeforeTheMessageShows) {
    App();
    QWidget grabber;
    grabber.resize(50, 50);
    grabber.show();
    grabber.grabMouse();
    if (QWidget::mouseGrabber() != &grabber) GTEST_SKIP() << "no mouse grab on this platform";
    QWidget* grabDuringDisplay = &grabber;
    App().MessageBox = [&](const std::string&, const std::string&) {
        grabDuringDisplay = QWidget::mouseGrabber();
    };
    TThrowingReceiver receiver;
    Deliver(receiver, [] { throw EInOutError(5); });
    App().MessageBox = &TApplication::ShowErrorBox;
    EXPECT_EQ(grabDuringDisplay, nullptr);
}

TEST(ErrorDisplay, DefaultDisplayIsAModalStopBoxWithOneOkButton) {
    App();
    bool seen = false;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
    QString caption, text;
    bool modal = false;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) return;
        seen = true;
        icon = box->icon();
        buttons = box->standardButtons();
        caption = box->windowTitle();
        text = box->text();
        modal = box->isModal();
        box->accept();
    });
    TThrowingReceiver receiver;
    Deliver(receiver, [] { throw EInOutError(3); });
    ASSERT_TRUE(seen);
    EXPECT_EQ(icon, QMessageBox::Critical);
    EXPECT_EQ(buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    EXPECT_EQ(caption.toStdString(), "test_app_gui");
    EXPECT_EQ(text.toStdString(), "Invalid filename.");
    EXPECT_TRUE(modal);
}

TEST(QtTexts, AChineseDesktopGetsQtsOwnTextsInChineseAndOurMessagesAsTheyAre) {
    App();
    QTranslator chinese;
    ASSERT_TRUE(TApplication::LoadQtTranslation(chinese, QLocale(QLocale::Chinese, QLocale::China)))
        << "qt6-translations-l10n is not installed";
    QCoreApplication::installTranslator(&chinese);
    {
        QDialogButtonBox buttons(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
        EXPECT_EQ(buttons.button(QDialogButtonBox::Ok)->text().toStdString(), "确定");
        EXPECT_EQ(buttons.button(QDialogButtonBox::Cancel)->text().toStdString(), "取消");
        QFileDialog dialog;
        dialog.setOption(QFileDialog::DontUseNativeDialog, true);
        EXPECT_EQ(dialog.windowTitle().toStdString(), "打开");
    }
    // The error display: Qt's button in Chinese, the program's caption and
    // message exactly as they are.
    std::string button, caption, text;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) return;
        button = box->button(QMessageBox::Ok)->text().toStdString();
        caption = box->windowTitle().toStdString();
        text = box->text().toStdString();
        box->accept();
    });
    TThrowingReceiver receiver;
    Deliver(receiver, [] { throw EConvertError("'abc' is not a valid floating point value"); });
    QCoreApplication::removeTranslator(&chinese);
    EXPECT_EQ(button, "确定");
    EXPECT_EQ(caption, "test_app_gui");
    EXPECT_EQ(text, "'abc' is not a valid floating point value.");

    // German has its own; the C locale has none, and a desktop without one
    // keeps Qt's English (the tests' own desktop may have one: a German
    // desktop's Cancel is Abbrechen).
    QTranslator german, c, desktop;
    EXPECT_TRUE(TApplication::LoadQtTranslation(german, QLocale(QLocale::German, QLocale::Germany)));
    EXPECT_FALSE(TApplication::LoadQtTranslation(c, QLocale::c()));
    QDialogButtonBox english(QDialogButtonBox::Cancel);
    const std::string cancel = english.button(QDialogButtonBox::Cancel)->text().toStdString();
    const QString translated =
        TApplication::LoadQtTranslation(desktop, QLocale()) ? desktop.translate("QPlatformTheme", "Cancel") : QString();
    EXPECT_EQ(cancel, translated.isEmpty() ? "Cancel" : translated.toStdString());
}

TEST(FormLayout, MulDivRoundsHalfAwayFromZero) {
    EXPECT_EQ(MulDiv(13, 96, 120), 10);    // 10.4
    EXPECT_EQ(MulDiv(13, 144, 120), 16);   // 15.6
    EXPECT_EQ(MulDiv(5, 3, 2), 8);         // 7.5
    EXPECT_EQ(MulDiv(-5, 3, 2), -8);
    EXPECT_EQ(MulDiv(744, 15, 16), 698);   // 697.5
    EXPECT_EQ(MulDiv(2000000000, 3, 4), 1500000000);  // no overflow on the way
    EXPECT_EQ(MulDiv(7, 1, 0), 0);
}

// The designed place where the window fits; moved in just enough where it
// would hang off (the window grown at 144 pixels per inch, about 1390 x 765,
// on a 1600 x 900 screen), the screen's top left where it is larger; a panel
// at the left or a second screen shifts the area.
TEST(FormLayout, TheWindowStaysOnItsScreen) {
    struct Case {
        QPoint wanted;
        QSize outer;
        QRect available;
        QPoint placed;
    };
    const Case cases[] = {
        {{306, 152}, {1110, 612}, {0, 0, 1920, 1040}, {306, 152}},
        {{306, 152}, {1390, 765}, {0, 0, 1600, 860}, {210, 95}},
        {{306, 152}, {2000, 1200}, {0, 0, 1920, 1040}, {0, 0}},
        {{306, 152}, {1390, 765}, {64, 0, 1536, 900}, {210, 135}},
        {{306, 152}, {1110, 612}, {1920, 0, 1280, 1024}, {1920, 152}},
        {{306, 152}, {1110, 612}, QRect(), {306, 152}},
    };
    for (const Case& c : cases) EXPECT_EQ(OnScreen(c.wanted, c.outer, c.available), c.placed) << c.outer.width();
}

namespace {

// A form as the layouts make one: its own font, a button with a font of its
// own, a component that follows the form's font, a toolkit-internal child
// and a page control whose pages its tabs place.
struct TestForm {
    TestForm() {
        form.setProperty("fontHeight", -13);
        const QFont formFont(QStringLiteral("MS Sans Serif"));
        form.setFont(formFont);
        form.resize(1110, 612);
        button = new QPushButton(&form);
        button->setObjectName("BitBtn1");
        button->setFont(formFont);
        button->setProperty("fontHeight", -17);
        button->setGeometry(744, 8, 161, 41);
        plain = new QPushButton(&form);
        plain->setObjectName("BitBtn9");
        plain->setGeometry(100, 200, 64, 24);
        inner = new QWidget(&form);
        inner->setGeometry(10, 10, 30, 30);
        pages = new QStackedWidget(&form);
        pages->setObjectName("PageControl1");
        pages->setGeometry(0, 0, 729, 537);
        page = new QWidget;
        page->setObjectName("TabSheet1");
        pages->addWidget(page);
        onPage = new QWidget(page);
        onPage->setObjectName("StringGrid2");
        onPage->setGeometry(0, 9, 193, 496);
        neighbour = new QWidget(page);  // right beside it
        neighbour->setObjectName("Chart1");
        neighbour->setGeometry(193, 9, 505, 313);
        ApplyStoredFonts(&form);
        pageBefore = page->geometry();
    }
    QWidget form;
    QPushButton *button, *plain;
    QStackedWidget* pages;
    QWidget *inner, *page, *onPage, *neighbour;
    QRect pageBefore;
};

// The layout's rectangle r scaled by m / 16 in device pixels, then in Qt's
// logical pixels by its edges.
QRect Fitted(QRect r, int m, double ratio) {
    auto d = [m](int v) { return MulDiv(v, m, 16); };
    return ToLogical(QRect(d(r.x()), d(r.y()), d(r.width()), d(r.height())), ratio);
}

}  // namespace

TEST(FormLayout, AtTheDesignResolutionNothingMovesWhateverTheDevicePixelRatio) {
    App();
    InstallFontSubstitutes();
    {
        TestForm f;
        ScaleLayout(&f.form, TScreenScale{120, 1.0, 120});
        EXPECT_EQ(MeasuredTextHeight(&f.form), 16);  // the design font's measure
        EXPECT_EQ(f.form.font().pixelSize(), 13);
        EXPECT_EQ(f.button->geometry(), QRect(744, 8, 161, 41));
        EXPECT_EQ(f.button->font().pixelSize(), 17);
        EXPECT_EQ(ScaledOuterSize(&f.form, QSize(1110, 612)), QSize(1110, 612));
    }
    {
        // A desktop set to 120 pixels per inch, as Qt reports it: 96 logical
        // pixels per inch at a device pixel ratio of 1.25.
        TestForm f;
        const TScreenScale screen{120, 1.25, 96};
        ScaleLayout(&f.form, screen);
        EXPECT_EQ(MeasuredTextHeight(&f.form), 16);
        EXPECT_EQ(DeviceFontHeight(f.form.font(), screen), 13);
        EXPECT_EQ(DeviceFontHeight(f.button->font(), screen), 17);
        EXPECT_EQ(f.button->geometry(), QRect(595, 6, 129, 33));  // 744 / 1.25 = 595.2, ...
        EXPECT_EQ(f.onPage->geometry(), QRect(0, 7, 154, 397));
        // Neighbours stay neighbours: edges are converted, not sizes.
        EXPECT_EQ(f.neighbour->geometry().left(), f.onPage->geometry().right() + 1);
        EXPECT_EQ(f.plain->font().pointSizeF(), f.form.font().pointSizeF());  // follows the form
        EXPECT_EQ(f.page->geometry(), f.pageBefore);
        EXPECT_EQ(ScaledOuterSize(&f.form, QSize(1110, 612)), QSize(1110, 612));
        EXPECT_EQ(FittedScreen(&f.form).DevicePixelRatio, 1.25);
    }
}

TEST(FormLayout, ElsewhereComponentsAndTheWindowScaleWithTheFontsMeasuredHeight) {
    App();
    InstallFontSubstitutes();
    for (const TScreenScale screen : {TScreenScale{96, 1.0, 96}, TScreenScale{144, 1.5, 96},
                                      TScreenScale{144, 1.0, 144}, TScreenScale{192, 2.0, 96}}) {
        SCOPED_TRACE(screen.PixelsPerInch);
        SCOPED_TRACE(screen.DevicePixelRatio);
        TestForm f;
        ScaleLayout(&f.form, screen);
        // The form's font: 13 * ppi / 120 device pixels, rounded.
        const int fontPixels = MulDiv(13, screen.PixelsPerInch, 120);
        EXPECT_EQ(DeviceFontHeight(f.form.font(), screen), fontPixels);
        // The measure follows the font's growth from the design height.
        const int m = MeasuredTextHeight(&f.form);
        EXPECT_LE(std::abs(m - 16.0 * fontPixels / 13), 1.0) << m;
        EXPECT_EQ(f.button->geometry(), Fitted(QRect(744, 8, 161, 41), m, screen.DevicePixelRatio));
        EXPECT_EQ(DeviceFontHeight(f.button->font(), screen), MulDiv(17, m, 16));
        EXPECT_EQ(f.pages->geometry(), Fitted(QRect(0, 0, 729, 537), m, screen.DevicePixelRatio));
        EXPECT_EQ(f.onPage->geometry(), Fitted(QRect(0, 9, 193, 496), m, screen.DevicePixelRatio));
        EXPECT_EQ(f.page->geometry(), f.pageBefore);  // placed by its page control
        EXPECT_EQ(f.inner->geometry(), QRect(10, 10, 30, 30));
        // The window by the same factor as its components, not left as stored.
        EXPECT_EQ(ScaledOuterSize(&f.form, QSize(1110, 612)),
                  QSize(MulDiv(1110, m, 16), MulDiv(612, m, 16)));
    }
}

TEST(FormLayout, MeasureAndDeviceFontHeights) {
    App();
    InstallFontSubstitutes();
    const QFont font(QStringLiteral("MS Sans Serif"));
    EXPECT_EQ(MeasureTextHeight(font, 13, 13), 16);
    EXPECT_EQ(MeasureTextHeight(font, 14, 14), 16);
    int last = 0;
    for (int px = 8; px <= 40; ++px) {  // grows with the font, never shrinks
        const int m = MeasureTextHeight(font, px, 13);
        EXPECT_GE(m, last) << px;
        last = m;
    }
    EXPECT_GT(MeasureTextHeight(font, 26, 13), 30);

    QWidget w;
    for (const TScreenScale screen : {TScreenScale{120, 1.0, 120}, TScreenScale{120, 1.25, 96},
                                      TScreenScale{144, 1.5, 96}, TScreenScale{90, 0.75, 120}}) {
        for (int px : {1, 9, 13, 17, 27}) {
            SetDeviceFontHeight(&w, px, screen);
            EXPECT_EQ(DeviceFontHeight(w.font(), screen), px) << screen.DevicePixelRatio;
        }
    }
    EXPECT_EQ(ToLogical(QRect(744, 8, 161, 41), 1.0), QRect(744, 8, 161, 41));
    EXPECT_EQ(ToLogical(QSize(1110, 612), 1.25), QSize(888, 490));
    EXPECT_EQ(ToLogical(QPoint(306, 152), 1.5), QPoint(204, 101));
}

TEST(Picture, DecodedInColourDrawnUnscaledOrStretchedAndBadDataRefused) {
    App();
    TForm1 form;
    const QImage& picture = form.Image1->Picture();
    ASSERT_EQ(picture.size(), QSize(700, 497));
    const QColor sky = picture.pixelColor(10, 10), hill = picture.pixelColor(10, 480);
    EXPECT_GT(sky.blue(), sky.red() + 40);  // a colour picture: sky on top, hills below
    EXPECT_GT(hill.green(), hill.blue() + 20);
    // At its own size from the top-left corner, clipped to the smaller box.
    ASSERT_LT(form.Image1->width(), picture.width());
    const QImage shot = form.Image1->grab().toImage();
    for (QPoint p : {QPoint(3, 3), QPoint(150, 100), QPoint(form.Image1->width() - 1, 200)})
        EXPECT_EQ(shot.pixel(p), picture.pixel(p)) << p.x() << "," << p.y();

    // The About icon is stretched: its pixel (26, 28), inside the dam, lands
    // outside the icon's own 32 x 32.
    TAboutForm box;
    const QImage& icon = box.Image1->Picture();
    ASSERT_EQ(icon.size(), QSize(32, 32));
    const int x = (26 * box.Image1->width() + box.Image1->width() / 2) / 32;
    const int y = (28 * box.Image1->height() + box.Image1->height() / 2) / 32;
    ASSERT_GT(x, 32);
    ASSERT_GT(y, 32);
    EXPECT_EQ(QColor(box.Image1->grab().toImage().pixel(x, y)).rgb(), QColor(icon.pixel(26, 28)).rgb());

    QFile file(":/pictures/reservoir.jpg");
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    std::string error;
    const std::string junk = "not a picture at all";
    EXPECT_TRUE(DecodeJpeg(reinterpret_cast<const unsigned char*>(junk.data()), junk.size(), &error).isNull());
    EXPECT_FALSE(error.empty());
    // Cut short inside the header: refused, not a picture of garbage sizes.
    EXPECT_TRUE(DecodeJpeg(reinterpret_cast<const unsigned char*>(bytes.constData()), 200, &error).isNull());
    EXPECT_FALSE(error.empty());
}

TEST(AboutBox, SizedFromTheScreenByTruncation) {
    const std::vector<std::pair<QSize, QSize>> cases{
        {{1440, 900}, {635, 374}},  {{1024, 768}, {451, 319}}, {{1920, 1080}, {846, 448}},
        {{288, 450}, {127, 187}},   {{1366, 768}, {602, 319}}, {{2880, 2160}, {1270, 897}},
        {{800, 600}, {352, 249}},
    };
    for (const auto& [screen, size] : cases)
        EXPECT_EQ(TAboutForm::SizeForScreen(screen), size) << screen.width() << "x" << screen.height();

    App();
    const auto saved = TAboutForm::ScreenSize;
    for (const auto& [screen, size] : cases) {
        TAboutForm::ScreenSize = [screen = screen] { return screen; };
        TAboutForm box;
        EXPECT_EQ(box.frameGeometry().size(), size);
        EXPECT_EQ(AboutForm, &box);
    }
    TAboutForm::ScreenSize = saved;
    EXPECT_EQ(AboutForm, nullptr);
}

TEST(AboutBox, TextsAndFontsOfTheLayout) {
    App();
    TAboutForm box;
    EXPECT_EQ(box.windowTitle().toStdString(), "关于本程序");
    EXPECT_EQ(box.Label1->text().toStdString(), "      Quelmora程序 ");
    EXPECT_EQ(box.Label2->text().toStdString(), "FOR WINDOWS 9X/2000/NT/XP/WIN7   ");
    EXPECT_TRUE(box.Label6->text().startsWith("电话：000-"));
    EXPECT_TRUE(box.Label9->text().startsWith("E_Mail：") && box.Label9->text().endsWith("@example.org"));
    const int m = MeasuredTextHeight(&box);
    EXPECT_EQ(box.Label1->font().pixelSize(), MulDiv(27, m, 16));
    EXPECT_EQ(box.Label1->font().family().toStdString(), "华文中宋");
    EXPECT_EQ(box.Label2->font().pixelSize(), MulDiv(15, m, 16));
    EXPECT_EQ(box.Label8->font().pixelSize(), MulDiv(18, m, 16));
    EXPECT_EQ(box.Label8->font().family().toStdString(), "新宋体");
    EXPECT_EQ(box.Label2->pos(), QPoint(MulDiv(226, m, 16), MulDiv(94, m, 16)));
    for (QLabel* label : box.findChildren<QLabel*>())  // whole texts shown
        EXPECT_GE(label->width(), label->sizeHint().width()) << label->objectName().toStdString();
}

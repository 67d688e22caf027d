#pragma once
// The About box: the program's title, the platforms and the contact lines.
// Created on each opening, shown modally, freed when it closes.

#include "ui_AboutUnit2.h"

#include <QDialog>
#include <QSize>

#include <functional>

class TAboutForm : public QDialog, public Ui::TAboutFormLayout {
    Q_OBJECT

public:
    explicit TAboutForm(QWidget* parent = nullptr);
    ~TAboutForm() override;

    // Sizes the box from the screen size.
    void FormCreate();

    // The box's outer size in device pixels on a screen of the given size in
    // device pixels:
    // trunc(width / 1440 * 635) by trunc(height / 900 * 374).
    static QSize SizeForScreen(QSize screen);

    // The screen size in device pixels; the primary screen's unless replaced
    // (tests try several screens).
    static std::function<QSize()> ScreenSize;

protected:
    void showEvent(QShowEvent* event) override;
    void moveEvent(QMoveEvent* event) override;

private:
    QSize outer_;
    bool outerSizeFitted_ = false;
};

// The box while it exists (set before its creation handler runs).
extern TAboutForm* AboutForm;

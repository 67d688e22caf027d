#pragma once
// The layouts' picture box: shows a picture kept in the program's resources,
// either at its own size from the top-left corner, clipped to the box, or
// stretched to fill the box.

#include <QImage>
#include <QString>
#include <QWidget>

class TImageBox : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QString pictureResource READ pictureResource WRITE setPictureResource)
    Q_PROPERTY(bool stretch READ stretch WRITE setStretch)

public:
    explicit TImageBox(QWidget* parent = nullptr);

    // A resource path such as ":/pictures/reservoir.jpg". JPEG pictures are
    // decoded with libjpeg; others with Qt's built-in readers.
    QString pictureResource() const { return resource_; }
    void setPictureResource(const QString& path);

    const QImage& Picture() const { return picture_; }
    void SetPicture(const QImage& picture);

    bool stretch() const { return stretch_; }
    void setStretch(bool stretch);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString resource_;
    QImage picture_;
    bool stretch_ = false;
};

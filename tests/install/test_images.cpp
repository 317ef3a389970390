#include "images.h"

#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <QtTest>

namespace {

// Pixels with any opacity: a picture that failed to draw is all clear.
int drawn_pixels(const QImage& image) {
    int drawn = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            drawn += qAlpha(image.pixel(x, y)) > 0 ? 1 : 0;
    return drawn;
}

} // namespace

class ImagesTest : public QObject {
    Q_OBJECT

private slots:
    // Every image linked into the program draws at menu and toolbar sizes: a resource the
    // linker dropped, a broken drawing or a missing SVG plug-in each leaves it blank.
    void every_image_draws() {
        for (const QString path :
             {images::kToolbarDatabase, images::kToolbarFolder, images::kToolbarLists,
              images::kToolbarGo, images::kWindowIcon, images::kAbout}) {
            QVERIFY2(QFile::exists(path), qPrintable(path + " is not among the resources"));
            for (const int size : {16, 24}) {
                const QImage image = QIcon(path).pixmap(size, size).toImage();
                QCOMPARE(image.size(), QSize(size, size));
                QVERIFY2(drawn_pixels(image) > size * size / 3,
                         qPrintable(path + " draws almost nothing"));
            }
        }
    }
};

QTEST_MAIN(ImagesTest)
#include "test_images.moc"

// Image files in the main window: a PNG opens as a document, a path already
// shown only activates its window, save-as exports through the JPEG
// dialog without renaming the window, the kind-8 dialog swaps the name's
// extension with its filter, and images dropped on a document window
// become its layers.
#include <QCheckBox>
#include <QComboBox>
#include <QDropEvent>
#include <QFileDialog>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QMimeData>
#include <QSpinBox>
#include <QtTest>

#include <memory>

#include "document/TPaper.h"
#include "files/ImageExport.h"
#include "gui/FileDialogs.h"
#include "gui/TDrawWindow.h"
#include "gui/TFormJpegOption.h"
#include "gui/TMainForm.h"
#include "storage/TMTC.h"
#include "support/FileBytes.h"
#include "support/MainFormHarness.h"
#include "support/TempFolder.h"

namespace morvane {

class ImageFilesTest : public QObject {
    Q_OBJECT

    harness::MainWindowSession session_;
    RecordingNotifier& notifier_ = session_.notifier;
    std::unique_ptr<TMainForm>& form_ = session_.form;
    support::TempFolder folder_;

    bool Trigger(const char* name) { return harness::Trigger(*form_, name); }
    QString Path(const char* name) const { return QString::fromStdString(folder_ / name); }
    QString WritePng(const char* name, int32_t width, int32_t height)
    {
        TMTC image(width, height);
        for (int32_t y = 0; y < height; ++y)
            for (int32_t x = 0; x < width; ++x)
                *image.PixelPtr(x, y) = 0xC0000000u | uint32_t(x * 3) << 16 | uint32_t(y * 2);
        const QString path = Path(name);
        return ExportImage(image, path.toStdString(), 96, true) == WriteCode::Ok ? path : QString();
    }
    void Drop(QWidget* on, QMimeData& mime)
    {
        const QPoint at = on->mapTo(form_.get(), on->rect().center());
        QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(form_.get(), &enter);
        QDropEvent drop(QPointF(at), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(form_.get(), &drop);
    }

private slots:
    void init() { QVERIFY(session_.Start()); }
    void cleanup() { session_.Stop(); }

    void aPngOpensAsADocumentOnce()
    {
        const QString png = WritePng("p.png", 120, 90);
        QVERIFY(!png.isEmpty());
        TDrawWindow* w = form_->OpenGivenFile(png);
        QVERIFY(w);
        QCOMPARE(w->Paper().Width, 120);
        QCOMPARE(w->Paper().Resolution, 96);
        QCOMPARE(w->Paper().LayerAt(0)->Store->GetPixel(5, 7), 0xC00F000Eu);
        QVERIFY(!w->isWindowModified());
        // The same path again: the window comes to the front, nothing opens.
        QCOMPARE(form_->OpenGivenFile(png), w);
        QCOMPARE(form_->DrawWindows().size(), size_t(1));
        support::WriteBytes(folder_ / "x.psd", {1, 2});
        QVERIFY(!form_->OpenGivenFile(Path("x.psd")));
        QCOMPARE(notifier_.messages.back().text, folder_ / "x.psd" + " は未対応の形式です");
    }

    void saveAsExportsThroughTheJpegDialog()
    {
        TDrawWindow* w = form_->OpenGivenFile(WritePng("s.png", 64, 48));
        QVERIFY(w);
        harness::Drag(w, {20, 20}, {200, 150});
        QVERIFY(w->isWindowModified());
        const QString jpeg = Path("s.jpg");
        form_->askDocumentSavePath = [jpeg] { return jpeg; };
        int asked = 0;
        form_->askJpegOptions = [&asked]() -> std::optional<JpegOptions> {
            ++asked;
            return std::nullopt;
        };
        QVERIFY(!Trigger("ActFileSaveAs") || !QFile::exists(jpeg));
        QCOMPARE(asked, 1);
        QVERIFY(!QFile::exists(jpeg)); // cancelled
        form_->askJpegOptions = [] {
            JpegOptions o;
            o.greyscale = true;
            return std::optional<JpegOptions>(o);
        };
        Trigger("ActFileSaveAs");
        const support::Bytes bytes = support::ReadBytes(jpeg.toStdString());
        QVERIFY(bytes.size() > 4 && bytes[0] == 0xFF && bytes[1] == 0xD8);
        // An export keeps the window's name and its mark.
        QVERIFY(w->isWindowModified());
        QCOMPARE(w->DocumentPath(), (folder_ / "s.png"));
    }

    void theSaveDialogSwapsTheExtensionWithItsFilter()
    {
        const std::unique_ptr<QFileDialog> dialog(NewFileDialog(form_.get(), 8, Path("")));
        QVERIFY(dialog);
        QCOMPARE(dialog->nameFilters().size(), 4);
        QCOMPARE(dialog->nameFilters()[2],
                 QStringLiteral("JPEG (*.jpg *.JPG *.jpeg *.JPEG *.jpe *.JPE *.jif *.JIF *.jfif *.JFIF *.jfi *.JFI)"));
        dialog->show();
        auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        auto* types = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
        QVERIFY(name && types);
        name->setText(QStringLiteral("picture.mci"));
        types->setCurrentIndex(2);
        emit types->activated(2);
        QCOMPARE(name->text(), QStringLiteral("picture.jpg"));
        types->setCurrentIndex(3);
        emit types->activated(3);
        QCOMPARE(name->text(), QStringLiteral("picture.png"));
        dialog->grab().save(harness::ShotPath(QStringLiteral("save-as-kind8.png")));
    }

    void theJpegDialogStepsAndOwnValues()
    {
        CAppProfile::FileIO io{};
        io.jpegQuality = 75, io.jpegQType = 2, io.jpegQVHigh = 100, io.jpegQHigh = 90, io.jpegQStd = 75;
        io.jpegQLow = 40, io.jpegUseSmooth = true, io.jpegValSmooth = 20;
        TFormJpegOption dialog(io);
        QCOMPARE(dialog.windowTitle(), QStringLiteral("JPEG 設定"));
        QCOMPARE(dialog.Steps()->currentIndex(), 2);
        dialog.Steps()->setCurrentIndex(3);
        emit dialog.Steps()->activated(3);
        QCOMPARE(dialog.Quality()->value(), 40);
        QCOMPARE(dialog.Steps()->currentIndex(), 3);
        dialog.Quality()->setValue(63); // typed: the own value
        QCOMPARE(dialog.Steps()->currentIndex(), -1);
        dialog.Grey()->setChecked(true);
        const JpegOptions o = dialog.Options();
        QCOMPARE(o.quality, 63);
        QCOMPARE(o.smoothing, 20);
        QVERIFY(o.greyscale && !o.progressive);
        dialog.KeepIn(io);
        QCOMPARE(io.jpegQuality, 63);
        QCOMPARE(io.jpegQType, TFormJpegOption::kOwnValue);
        dialog.show();
        dialog.grab().save(harness::ShotPath(QStringLiteral("jpeg-options.png")));
    }

    void imagesDroppedOnADocumentBecomeLayers()
    {
        TDrawWindow* w = form_->OpenGivenFile(WritePng("d.png", 80, 60));
        QVERIFY(w);
        QTest::qWait(1);
        const QString layer = WritePng("layer.png", 30, 20);
        QMimeData files;
        files.setUrls({QUrl::fromLocalFile(layer)});
        Drop(w, files);
        QCOMPARE(form_->DrawWindows().size(), size_t(1));
        QCOMPARE(w->Paper().LayerCount(), 2);
        QCOMPARE(w->Paper().LayerAt(1)->Store->Width, 30);
        QMimeData picture;
        QImage image(12, 9, QImage::Format_RGB32);
        image.fill(QColor(10, 20, 30));
        picture.setImageData(image);
        Drop(w, picture);
        QCOMPARE(w->Paper().LayerCount(), 3);
        QCOMPARE(w->Paper().LayerAt(2)->Store->GetPixel(0, 0), 0xFF0A141Eu);
        QVERIFY(Trigger("ActEditUndo"));
        QCOMPARE(w->Paper().LayerCount(), 2);
    }
};

} // namespace morvane

QTEST_MAIN(morvane::ImageFilesTest)
#include "ImageFilesTest.moc"

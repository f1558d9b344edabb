// TfrmZORImagePreview: a small window that shows one picture (any class the
// graphic registry reads: raster, SVG, PDF page 1, metafiles) with scrolling,
// zoom and fit-to-window. ShowAsPopUp opens it as a top-level window placed
// over a control; Escape closes it, and closing deletes it. Its texts are
// German by design; English, French and Italian come from its language
// component (Lang()).
#pragma once

#include <ZorCompCore/imaging/Graphic.h>
#include <ZorCompCore/zor_export.h>

#include <QWidget>

#include <memory>

namespace zor {

class TStream;
class TZORLang;

class ZOR_EXPORT TfrmZORImagePreview : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(double Zoom READ Zoom WRITE SetZoom NOTIFY ZoomChanged)
    Q_PROPERTY(bool FitToWindow READ FitToWindow WRITE SetFitToWindow NOTIFY ZoomChanged)
public:
    explicit TfrmZORImagePreview(QWidget *AParent = nullptr);
    ~TfrmZORImagePreview() override;

    // Creates the form, loads the picture from Stream (rewound first), shows
    // FileName in the status bar and its bare name as caption, places the
    // form over Control (else over the application's main window) and shows
    // it without waiting. The form owns itself: closing deletes it. Picture
    // errors (EEnvisionError) pass to the caller, and no form stays behind.
    static TfrmZORImagePreview *ShowAsPopUp(TStream &Stream, const QString &FileName, QWidget *Control);

    // Reads the picture; raises EEnvisionError for data no class reads.
    void LoadFromStream(TStream &Stream);
    void SetFileName(const QString &FileName);
    QSize PictureSize() const;

    // Display scale (1 = one picture pixel per device-independent pixel), 1/16 … 16.
    double Zoom() const;
    void SetZoom(double AZoom);
    // Fit: the whole picture in the visible area, never enlarged.
    bool FitToWindow() const;
    void SetFitToWindow(bool AFit);
    void ZoomIn();
    void ZoomOut();

    TZORLang *Lang() const;
    QString StatusText() const;
    // What the viewer shows now, at its current zoom.
    QImage ShownImage() const;

Q_SIGNALS:
    void ZoomChanged();

protected:
    void keyPressEvent(QKeyEvent *AEvent) override;
    bool eventFilter(QObject *AWatched, QEvent *AEvent) override;

private:
    void UpdateView();
    struct Private;
    std::unique_ptr<Private> const d;
};

} // namespace zor

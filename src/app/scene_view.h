// The window's face: paints the composed scene, nothing else.
#pragma once

#include <QImage>
#include <QWidget>

namespace zirvak {

class SceneView : public QWidget {
    Q_OBJECT
public:
    explicit SceneView(QSize pictureSize, QWidget* parent = nullptr);
    // The latest composed scene; the caller says which parts changed through update().
    void SetScene(QImage scene) { scene_ = std::move(scene); }
    const QImage& scene() const { return scene_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage scene_;
};

}  // namespace zirvak

#include "viewer/viewermemory.h"

#include <QSettings>
#include <algorithm>

namespace qrn::viewer {

namespace {

// Longer texts than a box would ever hold are not taken from the store.
constexpr qsizetype kMaxBoxText = 64;

QString groupOf(ViewMode mode) {
    return mode == ViewMode::Real ? QStringLiteral("viewer/real") : QStringLiteral("viewer/normal");
}

std::optional<QString> boxText(const QSettings& s, const QString& key) {
    const QVariant v = s.value(key);
    if (!v.isValid() || !v.canConvert<QString>()) return std::nullopt;
    QString text = v.toString();
    if (text.size() > kMaxBoxText) return std::nullopt;
    return text;
}

std::optional<int> whole(const QSettings& s, const QString& key) {
    bool ok = false;
    const int v = s.value(key).toInt(&ok);
    return ok ? std::optional<int>(v) : std::nullopt;
}

}  // namespace

ViewerMemory ViewerMemory::of(const ViewForm& form, QByteArray geometry) {
    ViewerMemory m;
    m.wait = form.wait;
    m.markerStep = form.markerStep;
    m.markerSize = form.markerSize;
    m.zoomLevel = form.zoomLevel;
    m.geometry = std::move(geometry);
    return m;
}

void ViewerMemory::applyTo(ViewForm& form) const {
    if (wait) form.wait = *wait;
    if (markerStep) form.markerStep = *markerStep;
    if (markerSize)
        form.markerSize = std::clamp(*markerSize, render::kMarkerSizeMin, render::kMarkerSizeMax);
    if (zoomLevel)
        form.zoomLevel = std::clamp(*zoomLevel, render::kZoomLevelMin, render::kZoomLevelMax);
}

ViewerMemory recallViewer(ViewMode mode) {
    QSettings s;
    s.beginGroup(groupOf(mode));
    ViewerMemory m;
    m.wait = boxText(s, QStringLiteral("wait"));
    m.markerStep = boxText(s, QStringLiteral("markerStep"));
    m.markerSize = whole(s, QStringLiteral("markerSize"));
    m.zoomLevel = whole(s, QStringLiteral("zoomLevel"));
    m.geometry = s.value(QStringLiteral("geometry")).toByteArray();
    return m;
}

void rememberViewer(ViewMode mode, const ViewerMemory& m) {
    QSettings s;
    s.beginGroup(groupOf(mode));
    auto put = [&s](const char* key, const auto& value) {
        if (value) s.setValue(QLatin1String(key), *value);
    };
    put("wait", m.wait);
    put("markerStep", m.markerStep);
    put("markerSize", m.markerSize);
    put("zoomLevel", m.zoomLevel);
    if (!m.geometry.isEmpty()) s.setValue(QStringLiteral("geometry"), m.geometry);
}

}  // namespace qrn::viewer

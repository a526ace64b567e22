#include "render/layout.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "dataset/numbers.h"

namespace qrn::render {

const QString kTitleByLine = QStringLiteral("qrnview 電線動揺解析ポストプロセッサ");

QSize initialClientSize(ViewMode mode) {
    return mode == ViewMode::Real ? kInitialClientReal : kInitialClientNormal;
}

QString modeTitle(ViewMode mode) {
    return mode == ViewMode::Real ? QStringLiteral("画像シミュレーション画面(リアルモード)")
                                  : QStringLiteral("画像シミュレーション画面(ノーマルモード)");
}

int titleGap(int clientWidth) {
    const double n = num::roundHalfEven(clientWidth / 6.5 - 50.0);
    return static_cast<int>(std::clamp(n, 0.0, 200.0));
}

QString windowTitle(ViewMode mode, int clientWidth) {
    return modeTitle(mode) + QString(titleGap(clientWidth), QLatin1Char(' ')) + kTitleByLine;
}

LayoutGeometry layoutGeometry(ViewMode mode, QSize client) {
    constexpr int kMinPicture = 2 * kPictureBorder + 1;
    LayoutGeometry g;
    const int w = std::max(client.width() - 94, kMinPicture);
    const int h = std::max(client.height() - 29, kMinPicture);
    g.picture = QRect(20, 20, w, h);
    g.canvas = QSize(w - 2 * kPictureBorder, h - 2 * kPictureBorder);
    g.paramPanelLeft = client.width() - 70;
    g.bottomBarTop = client.height() - 45;
    g.sizePanelLeft = client.width() - 66;
    g.sizePanelTop = client.height() - 109;
    g.title = windowTitle(mode, client.width());
    return g;
}

namespace {

std::int16_t toInt16Clamped(double v) {
    const double r = num::roundHalfEven(v);
    if (std::isnan(r)) return 0;
    return static_cast<std::int16_t>(std::clamp(r, -32768.0, 32767.0));
}

}  // namespace

void placeWindow(ViewMode mode, const ViewParams& p, ViewerState& st) {
    const double zoom = st.Zoom;
    if (mode == ViewMode::Normal) {
        st.ViewLeft = toInt16Clamped(-50.0 / zoom + p.azimuth);
        st.ViewTop = toInt16Clamped(st.ViewHeight / zoom / -2.0 + p.elevation);
    } else {
        st.ViewLeft = toInt16Clamped(-50.0 / zoom);
        st.ViewTop = toInt16Clamped(st.ViewHeight / -2.0 / zoom);
    }
    st.Window.Width = static_cast<float>(st.ViewWidth / zoom);
    st.Window.Height = static_cast<float>(st.ViewHeight / zoom);
    st.Window.Left = static_cast<float>(st.ViewLeft + double(st.PanX));
    st.Window.Top = static_cast<float>(st.ViewTop + double(st.PanY));
}

void layoutNumbers(ViewMode mode, QSize picture, const ViewParams& p, ViewerState& st) {
    const double pw = picture.width();
    const double ph = picture.height();
    st.Zoom = static_cast<float>(std::exp2(std::clamp(p.zoomLevel, kZoomLevelMin, kZoomLevelMax)));
    st.ViewWidth = 100;
    // A picture far taller than wide would need a height beyond 16 bits: the
    // height saturates instead of failing the whole layout pass.
    // A height that rounds to 0 would make the pixel factor infinite: keep it at -1 at least.
    const std::int16_t height = mode == ViewMode::Normal
                                    ? toInt16Clamped(-100.0 * ph / pw)
                                    : toInt16Clamped(-100.0 * (ph - 4) / (pw - 4));
    st.ViewHeight = std::min<std::int16_t>(height, -1);
    placeWindow(mode, p, st);
    st.PixPerUnitX = static_cast<float>((pw - 4) / double(st.Window.Width));
    st.PixPerUnitY = static_cast<float>((ph - 4) / double(st.Window.Height));
}

void applyNodeRange(const ViewParams& p, Dataset& ds) {
    if (p.firstNode) ds.FirstNode = *p.firstNode;
    if (p.lastNode) ds.LastNode = *p.lastNode;
}

}  // namespace qrn::render
